#include "logic/sign_off_page.h"

namespace zelquo::gui {

namespace {

const keys::TextKey* const kOctetKeys[] = {&keys::kSignOffOctet1, &keys::kSignOffOctet2, &keys::kSignOffOctet3,
                                           &keys::kSignOffOctet4};

}  // namespace

SignOffSettings ReadSignOffSettings(const CSettingsFile& settings) {
  SignOffSettings sign_off;
  const int choice = settings.Read(keys::kSignOffMethod);
  if (choice >= static_cast<int>(SignOffChoice::kOfflineMessage) &&
      choice <= static_cast<int>(SignOffChoice::kGivenAddress)) {
    sign_off.choice = static_cast<SignOffChoice>(choice);
  }
  for (std::size_t i = 0; i < sign_off.address.size(); ++i) {
    sign_off.address[i] = settings.ReadInt(kOctetKeys[i]->name, 0);
  }
  return sign_off;
}

void SaveSignOffSettings(const CSettingsFile& settings, const SignOffSettings& sign_off) {
  settings.Write(keys::kSignOffMethod, static_cast<int>(sign_off.choice));
  if (sign_off.choice == SignOffChoice::kGivenAddress) {
    for (std::size_t i = 0; i < sign_off.address.size(); ++i) {
      settings.WriteInt(kOctetKeys[i]->name, sign_off.address[i]);
    }
  }
  settings.Write(keys::kIpAddress, "");
}

}  // namespace zelquo::gui
