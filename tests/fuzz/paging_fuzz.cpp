// Feeds arbitrary received blocks to the page transaction with a fake form
// and link, in any flag state, with any box contents, with the link taking
// or refusing each buffer. Besides the sanitizers it checks what must hold
// for any input: every outgoing text is a fixed text or a well-formed block
// with a whole PIN, every status text is one of the transaction's or a
// refused block's reason, every call returns 1.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "paging/transaction.h"
#include "seriallink/local_heap.h"
#include "seriallink/trace.h"

namespace {

using namespace zentrel;

void Check(bool holds) {
  if (!holds) __builtin_trap();
}

// Framed, no NUL, and the PIN field whole: at most 7 bytes, none a control
// character (a PIN that would be cut or split is refused, never sent).
bool IsWellFormedBlock(std::string_view bytes) {
  if (bytes.size() < 8 || bytes.size() > 214 || bytes.front() != '\x02' || bytes.back() != '\r' ||
      bytes[bytes.size() - 5] != '\x03' || bytes.find('\0') != std::string_view::npos) {
    return false;
  }
  const std::size_t pin_end = bytes.find('\r');
  return pin_end <= 8 &&
         std::all_of(bytes.begin() + 1, bytes.begin() + static_cast<long>(pin_end),
                     [](char c) { return static_cast<unsigned char>(c) >= 0x20 && c != 0x7F; });
}

class FuzzForm : public IPageForm {
 public:
  std::string PinBoxText() override { return pin; }
  std::string MessageBoxText() override { return message; }
  void UpdateStatus(const std::string& text) override {
    static const std::array<std::string_view, 8> known = {
        "Preparing to send message...",
        "Invalid PIN Number",
        "Error, check PIN and try again!",
        "Sending Message.",
        "Sending Message...",
        "Message Sent!",
        "Error, but page sent.",
        "Error, page not sent, check PIN number."};
    const bool refused = text.starts_with("The PIN ") || text.starts_with("The message ");
    Check(refused || std::find(known.begin(), known.end(), text) != known.end());
  }
  std::string pin;
  std::string message;
};

class FuzzLink : public ILinkWriter {
 public:
  int PostWrite(char* data, std::uint32_t length) override {
    const std::string_view bytes(data, length);
    Check(bytes == "\r" || bytes == "\x1bPG1\r" || bytes == "\x04\r" || IsWellFormedBlock(bytes));
    if (!accepts) return 0;
    LocalFree(data);
    return 1;
  }
  bool accepts = true;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const TraceSink quiet =
      SetTraceSink([](std::string_view line) { Check(!line.empty() && line.back() == '\n'); });
  FuzzedDataProvider input(data, size);
  FuzzForm form;
  FuzzLink link;
  const bool has_link = input.ConsumeBool();
  link.accepts = input.ConsumeBool();
  g_bLogonSent = input.ConsumeBool();
  g_bBlockSent = input.ConsumeBool();
  g_bPageAccepted = input.ConsumeBool();
  form.pin = input.ConsumeRandomLengthString(16);
  form.message = input.ConsumeRandomLengthString(300);

  CPageTransaction transaction(form, [&]() -> ILinkWriter* { return has_link ? &link : nullptr; });
  while (input.remaining_bytes() > 0) {
    if (input.ConsumeBool()) transaction.OnTimerTick();
    const std::string block = input.ConsumeRandomLengthString(4096);
    Check(transaction.ProcessReceivedData(block.c_str(),
                                          static_cast<std::uint32_t>(block.size())) == 1);
  }
  return 0;
}
