// Test stand-ins for the form and the current link. The form keeps its box
// texts in strings and records every status update. The link records every
// text offered to it and either takes the buffer (releasing it at once, as
// the write thread would after writing) or refuses it, leaving it with the
// caller; under AddressSanitizer a refused buffer the caller forgets leaks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "paging/page_form.h"
#include "seriallink/link_view.h"
#include "seriallink/local_heap.h"

namespace zentrel::testing {

class FakePageForm : public IPageForm {
 public:
  std::string PinBoxText() override { return pin; }
  std::string MessageBoxText() override { return message; }
  void UpdateStatus(const std::string& text) override { statuses.push_back(text); }

  std::string pin;
  std::string message;
  std::vector<std::string> statuses;
};

class FakeLink : public ILinkWriter {
 public:
  int PostWrite(char* data, std::uint32_t length) override {
    offered.emplace_back(data, length);
    if (!accepts) return 0;
    LocalFree(data);
    return 1;
  }

  bool accepts = true;
  std::vector<std::string> offered;
};

}  // namespace zentrel::testing
