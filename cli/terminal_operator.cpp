#include "cli/terminal_operator.h"

#include "res/messages.h"
#include "transfer/transfer_run.h"

namespace {

struct Answer {
  bool yes;
  const char* why;  // which option gave it, or what would change it
};

Answer AnswerFor(int question, const OperatorAnswers& a) {
  switch (question) {
    case kMsgAgreeStopOperation:
      return {a.commandMode, "--command-mode"};
    case kMsgIfPcLoadSave:
      return {a.assumePcMode, a.assumePcMode ? "--assume-pc-mode" : "Yes with --assume-pc-mode"};
    case kMsgFoundSameFilename:
      return {a.overwrite, a.overwrite ? "--overwrite" : "Yes with --overwrite"};
    case kMsgIsNotFoundAbort:
    case kMsgCompensationFileNotFound:
      return {!a.skipMissing, a.skipMissing ? "--skip-missing" : "No with --skip-missing"};
    default:
      // Naming the command is the operator's agreement (110); nothing else
      // is asked of a command line.
      return {true, "the command"};
  }
}

}  // namespace

bool TerminalOperator::AskYesNo(int question, const std::string& text,
                                const std::string& caption, BoxIcon /*icon*/) {
  const Answer answer = AnswerFor(question, answers_);
  if (!quiet_) {
    view_.PrintLine(caption + ": " + text + " " + (answer.yes ? "Yes" : "No") + " (" +
                    answer.why + ")");
    // The dialog's question names no file; a log of a script's run should.
    if (question == kMsgFoundSameFilename && filePath_ != nullptr) {
      view_.PrintLine("  " + *filePath_);
    }
  }
  return answer.yes;
}

void TerminalOperator::ShowError(const std::string& text, const std::string& detail) {
  // A failure ends what was in progress: nothing is redrawn below it.
  view_.PrintFinalLine(std::string(kCaptionError) + ": " + text);
  if (!detail.empty()) view_.PrintLine("  " + detail);
}
