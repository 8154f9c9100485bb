// The seven reply tests, top to bottom in the order they run. The log-on
// and the block each go out at most once per call. The
// acknowledgement test runs before the go-ahead test, so an acknowledgement
// in the same block as the go-ahead never counts: the block has not been
// sent yet when it is looked at.
#include "paging/reply_rules.h"

#include "paging/transaction_flags.h"

namespace zentrel {
namespace {

bool Has(std::string_view readable, std::string_view reply) {
  return readable.find(reply) != std::string_view::npos;
}

void RunRejectionTests(std::string_view readable, IReplyActions& actions) {
  if (Has(readable, "Invalid Pin") || Has(readable, "INVALID ACCOUNT")) {
    actions.Status(kStatusInvalidPin);
  }
  if (Has(readable, "<CR><RS><CR>")) actions.Status(kStatusCheckPin);
  if (Has(readable, "<CR><NAK><CR>")) actions.Status(kStatusCheckPin);
}

void RunProgressTests(std::string_view readable, IReplyActions& actions) {
  // The terminal asks for the log-on. It is sent once per call: a terminal
  // slower than the wake-up answers each CR with its own ID=, and a second
  // log-on's reply (ACK, then the go-ahead) arriving after the block would
  // read as the page's acceptance and send the block again.
  if (Has(readable, "ID=") && g_bLogonSent == 0) {
    g_bLogonSent = 1;
    actions.Post(kLogOnText);
    actions.Status(kStatusLogOnSent);
  }
  if (Has(readable, "<CR><ACK><CR>") && g_bBlockSent == 1) {
    actions.Post(kLogOffText);
    actions.Status(kStatusMessageSent);
    g_bPageAccepted = 1;
  }
  // The go-ahead for the message block; one block per call, never a page twice.
  if (Has(readable, "<ESC>[p<CR>") && g_bBlockSent == 0) {
    const IReplyActions::Block block = actions.MessageBlock();
    if (!block.refusal.empty()) {  // never a cut PIN or a broken block
      actions.Status(block.refusal);
      return;
    }
    actions.Post(block.bytes);
    g_bBlockSent = 1;
    actions.Status(kStatusBlockSent);
  }
}

}  // namespace

void RunReplyRules(std::string_view readable, IReplyActions& actions) {
  RunRejectionTests(readable, actions);
  RunProgressTests(readable, actions);
  if (Has(readable, "error")) {
    actions.Status(g_bPageAccepted == 1 ? kStatusErrorPageSent : kStatusErrorNotSent);
  }
}

}  // namespace zentrel
