// The page transaction: each received block becomes readable text, runs
// through the reply rules and goes to the trace as one line. Outgoing texts
// are copied into a buffer of their own for each post, because an accepted
// buffer belongs to the write thread from then on; a refused one is
// released here. The transaction keeps nothing from one block to the next.
#include "paging/transaction.h"

#include <cstring>
#include <string>
#include <utility>

#include "paging/message_block.h"
#include "paging/page_check.h"
#include "paging/readable_text.h"
#include "paging/reply_rules.h"
#include "seriallink/local_heap.h"
#include "seriallink/trace.h"

namespace zentrel {
namespace {

// A box read into a fixed field ends at its first NUL byte.
std::string_view BoxText(std::string_view box) { return box.substr(0, box.find('\0')); }

class FormActions : public IReplyActions {
 public:
  FormActions(IPageForm& form, std::function<void(std::string_view)> post)
      : form_(form), post_(std::move(post)) {}

  void Post(std::string_view bytes) override { post_(bytes); }
  void Status(std::string_view text) override { form_.UpdateStatus(std::string(text)); }
  Block MessageBlock() override {
    const std::string message = form_.MessageBoxText();
    const std::string pin = form_.PinBoxText();
    std::string refusal = BlockRefusal(BoxText(pin), BoxText(message));
    if (!refusal.empty()) return {{}, std::move(refusal)};
    return {ComposeMessageBlock(pin, message), {}};
  }

 private:
  IPageForm& form_;
  std::function<void(std::string_view)> post_;
};

}  // namespace

CPageTransaction::CPageTransaction(IPageForm& form, std::function<ILinkWriter*()> current_link)
    : form_(form), current_link_(std::move(current_link)) {}

int CPageTransaction::ProcessReceivedData(const char* text, std::uint32_t /*length*/) {
  const std::string_view received = text == nullptr ? std::string_view() : std::string_view(text);
  const std::string readable = ReadableText(received);

  FormActions actions(form_, [this](std::string_view bytes) { Post(bytes); });
  RunReplyRules(readable, actions);

  OutputDebugStringA(readable + "\n");
  return 1;
}

bool CPageTransaction::OnTimerTick() {
  if (g_bLogonSent == 1) return false;
  form_.UpdateStatus(std::string(kStatusPreparing));
  Post(kWakeUpText);
  return true;
}

void CPageTransaction::Post(std::string_view bytes) const {
  char* copy = LocalAlloc(bytes.size() + 1);  // zero-filled: ends in NUL
  if (copy == nullptr) return;
  std::memcpy(copy, bytes.data(), bytes.size());
  ILinkWriter* link = current_link_ ? current_link_() : nullptr;
  const auto length = static_cast<std::uint32_t>(bytes.size());
  if (link == nullptr || link->PostWrite(copy, length) == 0) LocalFree(copy);
}

}  // namespace zentrel
