// The provider's answer, read for every request kind and program: any text gives a result, and
// a result names only a word the answer really begins with.
#include <string>

#include "fuzz/fuzz_input.h"
#include "protocol/answer_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zelquo;
  using zelquo::fuzz::Require;
  const std::string answer(reinterpret_cast<const char*>(data), size);
  for (const RequestKind kind : {RequestKind::kAccount, RequestKind::kHost, RequestKind::kAlias, RequestKind::kSingleHost}) {
    for (const ProtocolProgram program : {ProtocolProgram::kTrayClient, ProtocolProgram::kService, ProtocolProgram::kConsole}) {
      UpdateRequest request;
      request.kind = kind;
      request.user_name = "user";
      request.host_name = "host.example.org";
      request.alias = "www";
      request.location = "home";
      const UpdateResult result = InterpretAnswer(request, program, answer);
      if (result.code != AnswerCode::kError && result.code != AnswerCode::kOther) {
        Require(answer.starts_with(AnswerCodeWord(result.code)), "the code is the word the answer begins with");
      }
      if (result.code != AnswerCode::kGood) Require(result.updated_address.empty(), "only good updates an address");
      if (program == ProtocolProgram::kConsole) Require(result.settles == Settles::kUnchanged, "the console never settles");
    }
  }
  return 0;
}
