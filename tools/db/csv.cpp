// The CSV reader is a character loop with two states (in quotes or not); a
// quote may open a field only at its start and must be followed by a comma
// or the end of the line when it closes. The writer guards a field that a
// spreadsheet would run as a formula (base/safe_text.h), then quotes one
// that holds a comma, a quote, a line break, or space at either end.
#include "csv.h"

#include "base/safe_text.h"
#include "tool_error.h"

namespace zentrel::dbtool {

namespace {

[[noreturn]] void Fail(int line, const std::string& reason) {
  throw ToolError("line " + std::to_string(line) + ": " + reason);
}

class Reader {
 public:
  Reader(std::string_view text, std::size_t columns) : text_(text), columns_(columns) {}

  std::vector<CsvRecord> All() {
    std::vector<CsvRecord> records;
    while (i_ < text_.size()) {
      if (AtLineEnd()) {  // an empty line
        SkipLineEnd();
        continue;
      }
      records.push_back(Record());
    }
    return records;
  }

 private:
  bool AtLineEnd() const {
    return text_[i_] == '\n' ||
           (text_[i_] == '\r' && i_ + 1 < text_.size() && text_[i_ + 1] == '\n');
  }
  void SkipLineEnd() {
    if (text_[i_] == '\r') ++i_;
    ++i_;
    ++line_;
  }

  CsvRecord Record() {
    CsvRecord record{line_, {}};
    for (;;) {
      const bool quoted = i_ < text_.size() && text_[i_] == '"';
      record.fields.push_back(quoted ? Quoted() : Plain());
      if (i_ >= text_.size()) break;
      if (AtLineEnd()) {
        SkipLineEnd();
        break;
      }
      ++i_;  // the comma
    }
    if (record.fields.size() != columns_) {
      Fail(record.line, "expected " + std::to_string(columns_) + " fields, found " +
                            std::to_string(record.fields.size()));
    }
    return record;
  }

  std::string Plain() {
    std::string field;
    while (i_ < text_.size() && text_[i_] != ',' && !AtLineEnd()) {
      if (text_[i_] == '"') Fail(line_, "a quote inside a field that does not start with one");
      field += text_[i_++];
    }
    return field;
  }

  std::string Quoted() {
    const int opened = line_;
    std::string field;
    ++i_;
    for (;;) {
      if (i_ >= text_.size()) Fail(opened, "the quoted field opened here is never closed");
      const char c = text_[i_++];
      if (c == '\n') ++line_;
      if (c != '"') {
        field += c;
      } else if (i_ < text_.size() && text_[i_] == '"') {
        field += '"';
        ++i_;
      } else {
        break;
      }
    }
    if (i_ < text_.size() && text_[i_] != ',' && !AtLineEnd()) {
      Fail(line_, "text after the closing quote of a field");
    }
    return field;
  }

  std::string_view text_;
  std::size_t columns_;
  std::size_t i_ = 0;
  int line_ = 1;
};

bool NeedsQuotes(const std::string& field) {
  if (field.empty()) return false;
  if (field.front() == ' ' || field.back() == ' ') return true;
  return field.find_first_of(",\"\r\n") != std::string::npos;
}

}  // namespace

std::vector<CsvRecord> ParseCsv(std::string_view text, std::size_t columns) {
  return Reader(text, columns).All();
}

std::string FormatCsvRecord(const std::vector<std::string>& fields) {
  std::string line;
  for (std::size_t f = 0; f < fields.size(); ++f) {
    if (f > 0) line += ',';
    const std::string field = GuardCell(fields[f]);
    if (!NeedsQuotes(field)) {
      line += field;
      continue;
    }
    line += '"';
    for (char c : field) {
      if (c == '"') line += '"';
      line += c;
    }
    line += '"';
  }
  return line + "\n";
}

}  // namespace zentrel::dbtool
