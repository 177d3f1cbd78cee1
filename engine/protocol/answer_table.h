// Reading the provider's answer: which code word it is, the message for the user, and what the
// update cycle is to do. Every word, test, message and outcome lives in one table in
// answer_table.cpp; callers ask InterpretAnswer and never compare answer texts themselves.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "protocol/update_request.h"

namespace zelquo {

// How long the calling thread sleeps after a version-4.43 "911" answer (SideEffect::kPause).
inline constexpr std::chrono::milliseconds kMaintenancePause{600000};

// Reads `answer` (the text HttpGetLine returned for the request's URL) for the request's kind
// and the program that sent it. Words are matched exactly and case-sensitively; "good" is a
// prefix test; only the console's single-host request reads an "Error" text as the code
// "error". The tray client's account "good" message names the request's location when it has
// one; the service's does not.
[[nodiscard]] UpdateResult InterpretAnswer(const UpdateRequest& request, ProtocolProgram program,
                                           std::string_view answer);

// The code's word as the provider sends it ("!donator", "911", ...), or "error" / "other".
[[nodiscard]] std::string_view AnswerCodeWord(AnswerCode code);

// The tray client's notice for SideEffect::kOutdatedNotice.
[[nodiscard]] std::string OutdatedNotice();

}  // namespace zelquo
