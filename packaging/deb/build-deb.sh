#!/usr/bin/env bash
# Builds the Debian package from a native build folder's programs with dpkg-deb, from a staging
# tree laid out here: the programs the tests ran, stripped, in /usr/lib/zelquoiuc/ beside a
# ZelquoIUC.ini that links to /etc/zelquoiuc/ZelquoIUC.ini (made by postinst, never shipped, so
# dpkg never replaces the account), links in /usr/bin, the systemd unit, the man pages and the
# documentation. Depends comes from dpkg-shlibdeps, and libssl3 (loaded, not linked).
#
#   packaging/deb/build-deb.sh NATIVE_BUILD_DIR OUT_DIR [DEBIAN_REVISION]
#
# Prints the package's path. The revision (default: the changelog's) gives rebuilds their own
# version, with a changelog entry of their own.
set -euo pipefail

if [[ $# -lt 2 || $# -gt 3 ]]; then
  echo "usage: $0 NATIVE_BUILD_DIR OUT_DIR [DEBIAN_REVISION]" >&2
  exit 2
fi
here=$(dirname "$(readlink -f "$0")")
root=$(readlink -f "$here/../..")
build=$(readlink -f "$1")
out=$2
package=zelquoiuc
upstream_version=4.43
changelog_version=$(sed -n '1s/^[^(]*(\([^)]*\)).*/\1/p' "$here/changelog")
version=${3:+$upstream_version-$3}
version=${version:-$changelog_version}

programs=(cli/zelquoipupdate service/zelquoiucsvc settings_cli/zelquoiuc)
for program in "${programs[@]}"; do
  [[ -x "$build/$program" ]] || { echo "missing $build/$program: build the native preset first" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage=$work/$package
lib=/usr/lib/$package
doc=/usr/share/doc/$package
mkdir -p "$stage/DEBIAN" "$stage$lib" "$stage/usr/bin" "$stage/lib/systemd/system" \
  "$stage/usr/share/man/man1" "$stage/usr/share/man/man8" "$stage$doc"

# Stripped as dh_strip strips programs.
staged=()
for program in "${programs[@]}"; do
  staged+=("$stage$lib/$(basename "$program")")
  install -m 0755 "$build/$program" "${staged[-1]}"
  strip --remove-section=.comment --remove-section=.note "${staged[-1]}"
done
# Links between top-level folders are absolute, those within /usr relative (Debian policy 10.5).
ln -s "/etc/$package/ZelquoIUC.ini" "$stage$lib/ZelquoIUC.ini"
for program in zelquoipupdate zelquoiuc; do
  ln -s "../lib/$package/$program" "$stage/usr/bin/$program"
done
install -m 0644 "$root/service/zelquoiucsvc.service" "$stage/lib/systemd/system/"

manual() {  # manual PAGE SECTION
  [[ -f "$root/docs/man/$1" ]] || return 0
  gzip -9n <"$root/docs/man/$1" >"$stage/usr/share/man/man$2/$1.gz"
}
manual zelquoipupdate.1 1
manual zelquoiucsvc.8 8
manual zelquoiuc.1 1

install -m 0644 "$here/copyright" "$stage$doc/copyright"
{
  if [[ "$version" != "$changelog_version" ]]; then
    printf '%s (%s) unstable; urgency=medium\n\n  * Rebuild.\n\n -- %s  %s\n\n' "$package" "$version" \
      "$(sed -n 's/^ -- \(.*>\)  .*/\1/p' "$here/changelog" | head -1)" "$(date -R)"
  fi
  cat "$here/changelog"
} | gzip -9n >"$stage$doc/changelog.Debian.gz"

for script in postinst prerm postrm; do
  install -m 0755 "$here/$script" "$stage/DEBIAN/$script"
done

# dpkg-shlibdeps reads debian/control of a source tree; a minimal one serves.
mkdir -p "$work/src/debian"
printf 'Source: %s\n\nPackage: %s\nArchitecture: any\n' "$package" "$package" >"$work/src/debian/control"
depends=$(cd "$work/src" && dpkg-shlibdeps -O "${staged[@]}" |
  sed -n 's/^shlibs:Depends=//p')
[[ -n "$depends" ]] || { echo "dpkg-shlibdeps found no dependencies" >&2; exit 1; }
# OpenSSL is loaded when a secure request is made, so dpkg-shlibdeps cannot see it.
depends+=", libssl3 (>= 3.0.0)"

(cd "$stage" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' | LC_ALL=C sort -z |
  xargs -0 md5sum) >"$stage/DEBIAN/md5sums"
chmod 0644 "$stage/DEBIAN/md5sums"
installed_size=$(du -sk --exclude=DEBIAN "$stage" | cut -f1)
sed -e "s|@VERSION@|$version|" -e "s|@ARCH@|$(dpkg --print-architecture)|" \
  -e "s|@INSTALLED_SIZE@|$installed_size|" -e "s|@DEPENDS@|$depends|" "$here/control" >"$stage/DEBIAN/control"

find "$stage" -type d -exec chmod 0755 {} +
mkdir -p "$out"
deb="$(readlink -f "$out")/${package}_${version}_$(dpkg --print-architecture).deb"
dpkg-deb --root-owner-group -Zxz --build "$stage" "$deb" >/dev/null
echo "$deb"
