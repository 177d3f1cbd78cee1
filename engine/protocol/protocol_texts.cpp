#include "protocol/protocol_texts.h"

namespace zelquo {

std::string ProgressNote(const UpdateRequest& request, ProtocolProgram program) {
  std::string note;
  switch (request.kind) {
    case RequestKind::kAccount:
      note = "Updating IP address for username " + request.user_name;
      break;
    case RequestKind::kHost:
      note = "Updating IP address for " + request.host_name;
      break;
    case RequestKind::kAlias:
      note = "Updating IP address for alias " + request.alias + "." + request.host_name;
      break;
    case RequestKind::kSingleHost:
      return note;
  }
  note += program == ProtocolProgram::kTrayClient ? ".\r\n" : ".";
  return note;
}

}  // namespace zelquo
