#include "file_io/text_reader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#if !defined(_WIN32)
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quorvane {

namespace {

constexpr std::size_t kChunk = 1 << 16;
constexpr int kPollMilliseconds = 100;
constexpr unsigned char kCtrlZ = 0x1A;
// A message shows an item up to this length (one more than a number may have).
constexpr std::size_t kShownItemLength = 65;

bool IsBlank(unsigned char c) {
  return c == ' ' || c == '\t';
}

bool IsControl(unsigned char c) {
  return (c < 0x20 && c != '\t' && c != '\r' && c != '\n' && c != kCtrlZ) || c == 0x7F;
}

// Whether the first bytes look like UTF-16 without a byte-order mark: text
// whose every other byte is zero (ASCII characters as UTF-16).
bool LooksLikeUtf16(const char* bytes, std::size_t n) {
  if (n < 4) return false;
  n = std::min<std::size_t>(n, 512) & ~std::size_t{1};
  std::size_t zeroEven = 0, zeroOdd = 0;
  for (std::size_t i = 0; i < n; i += 2) {
    if (bytes[i] == 0) ++zeroEven;
    if (bytes[i + 1] == 0) ++zeroOdd;
  }
  const std::size_t pairs = n / 2;
  return (zeroOdd == pairs && zeroEven < pairs) || (zeroEven == pairs && zeroOdd < pairs);
}

}  // namespace

// Where the bytes come from: a file (waiting for a pipe's input in steps, so
// that the stop function is asked), or text in memory.
class TextReader::Source {
 public:
  virtual ~Source() = default;
  // Appends up to kChunk bytes to out; returns the count, 0 at the end.
  virtual std::size_t Read(std::vector<char>& out, const std::function<bool()>& stop,
                           const std::string& what) = 0;
  virtual std::optional<std::uintmax_t> Size() const { return std::nullopt; }
};

namespace {

class MemorySource : public TextReader::Source {
 public:
  explicit MemorySource(std::string text) : text_(std::move(text)) {}
  std::size_t Read(std::vector<char>& out, const std::function<bool()>&,
                   const std::string&) override {
    const std::size_t n = std::min(kChunk, text_.size() - position_);
    out.insert(out.end(), text_.begin() + static_cast<std::ptrdiff_t>(position_),
               text_.begin() + static_cast<std::ptrdiff_t>(position_ + n));
    position_ += n;
    return n;
  }
  std::optional<std::uintmax_t> Size() const override { return text_.size(); }

 private:
  std::string text_;
  std::size_t position_ = 0;
};

[[noreturn]] void Unreadable(const std::string& message) {
  throw TextFileError(TextFileError::Problem::Unreadable, message);
}

[[noreturn]] void CannotOpen(const std::string& what, const std::string& path, bool folder) {
  throw TextFileError(
      folder ? TextFileError::Problem::Folder : TextFileError::Problem::CannotOpen,
      "Cannot open the " + what + " \"" + path + "\"" + (folder ? ": it is a folder" : ""));
}

[[noreturn]] void Cancelled() {
  throw TextFileError(TextFileError::Problem::Cancelled, "Reading the file was interrupted.");
}

#if !defined(_WIN32)

class FileSource : public TextReader::Source {
 public:
  FileSource(const std::string& path, const std::string& what) {
    // Opened without waiting (a FIFO with no writer yet would block the open);
    // reads then wait in steps.
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) CannotOpen(what, path, errno == EISDIR);
    struct stat st {};
    if (::fstat(fd_, &st) == 0) {
      if (S_ISDIR(st.st_mode)) {
        ::close(fd_);
        CannotOpen(what, path, true);
      }
      if (S_ISREG(st.st_mode)) size_ = static_cast<std::uintmax_t>(st.st_size);
    }
  }
  ~FileSource() override { ::close(fd_); }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  // Reads only once poll says there is something to read: a FIFO that no
  // program has opened for writing yet reads as ended, but poll waits for
  // its writer, a tenth of a second at a time, asking stop in between.
  std::size_t Read(std::vector<char>& out, const std::function<bool()>& stop,
                   const std::string& what) override {
    const std::size_t old = out.size();
    out.resize(old + kChunk);
    for (;;) {
      pollfd waiting{fd_, POLLIN, 0};
      const int ready = ::poll(&waiting, 1, kPollMilliseconds);
      if (ready > 0) {
        const ssize_t n = ::read(fd_, out.data() + old, kChunk);
        if (n >= 0) {
          out.resize(old + static_cast<std::size_t>(n));
          return static_cast<std::size_t>(n);
        }
      }
      if ((ready < 0 && errno != EINTR) ||
          (ready > 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
        const int error = errno;
        out.resize(old);
        Unreadable("Error reading the " + what + ": " + std::strerror(error));
      }
      if (stop && stop()) {
        out.resize(old);
        Cancelled();
      }
    }
  }
  std::optional<std::uintmax_t> Size() const override { return size_; }

 private:
  int fd_ = -1;
  std::optional<std::uintmax_t> size_;
};

#else

class FileSource : public TextReader::Source {
 public:
  FileSource(const std::string& path, const std::string& what) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) CannotOpen(what, path, true);
    file_ = std::fopen(path.c_str(), "rb");
    if (file_ == nullptr) CannotOpen(what, path, false);
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (!ec) size_ = size;
  }
  ~FileSource() override { std::fclose(file_); }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  std::size_t Read(std::vector<char>& out, const std::function<bool()>& stop,
                   const std::string& what) override {
    if (stop && stop()) Cancelled();
    const std::size_t old = out.size();
    out.resize(old + kChunk);
    const std::size_t n = std::fread(out.data() + old, 1, kChunk, file_);
    out.resize(old + n);
    if (n == 0 && std::ferror(file_)) Unreadable("Error reading the " + what);
    return n;
  }
  std::optional<std::uintmax_t> Size() const override { return size_; }

 private:
  std::FILE* file_ = nullptr;
  std::optional<std::uintmax_t> size_;
};

#endif

}  // namespace

TextReader::TextReader(const std::string& path, TextReadOptions options)
    : source_(std::make_unique<FileSource>(path, options.what)), options_(std::move(options)) {}

TextReader::TextReader(std::unique_ptr<Source> source, TextReadOptions options)
    : source_(std::move(source)), options_(std::move(options)) {}

TextReader TextReader::FromText(std::string text, TextReadOptions options) {
  return TextReader(std::make_unique<MemorySource>(std::move(text)), std::move(options));
}

TextReader::~TextReader() = default;
TextReader::TextReader(TextReader&&) noexcept = default;
TextReader& TextReader::operator=(TextReader&&) noexcept = default;

std::optional<std::uintmax_t> TextReader::Size() const {
  return source_->Size();
}

void TextReader::Refuse(TextFileError::Problem problem, const std::string& message) const {
  throw TextFileError(problem, message);
}

bool TextReader::Fill() {
  if (position_ < buffer_.size()) return true;
  buffer_.clear();
  position_ = 0;
  if (ended_) return false;
  if (source_->Read(buffer_, options_.stop, options_.what) == 0) {
    ended_ = true;
    return false;
  }
  if (atStart_) {
    // The first bytes tell a byte-order mark and UTF-16 text; a few more are
    // read first when they came in a very short piece.
    while (buffer_.size() < 4 && source_->Read(buffer_, options_.stop, options_.what) > 0) {
    }
    atStart_ = false;
    const auto* b = reinterpret_cast<const unsigned char*>(buffer_.data());
    const std::size_t n = buffer_.size();
    const bool mark16 =
        n >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF));
    if (mark16 || LooksLikeUtf16(buffer_.data(), n)) {
      Refuse(TextFileError::Problem::Utf16,
             "Invalid numeric input: the " + options_.what +
                 " is UTF-16 (\"Unicode\") text; save it as plain text (ANSI or UTF-8) and load "
                 "it again");
    }
    if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) position_ = 3;
    if (position_ >= buffer_.size()) return Fill();
  }
  return true;
}

int TextReader::Peek() {
  if (!Fill()) return -1;
  return static_cast<unsigned char>(buffer_[position_]);
}

void TextReader::Take() {
  ++position_;
}

bool TextReader::NextLine(TextLine& line) {
  int c = Peek();
  if (c < 0 || c == kCtrlZ) return false;
  ++line_;
  line.number = line_;
  line.items.clear();
  std::size_t length = 0;
  std::size_t run = 0;
  bool inComment = false;
  std::string item;
  const auto tooLong = [this] {
    Refuse(TextFileError::Problem::NotText,
           "Line " + std::to_string(line_) + " of the " + options_.what + " is longer than " +
               std::to_string(kMaxLineLength) +
               " characters: the file does not look like a text file of numbers");
  };
  // A control character is no text: the item holding it is refused, shown as
  // far as a message shows items.
  bool control = false;
  const auto refuseControl = [&] {
    const int column = static_cast<int>(line.items.size()) + 1;
    // Control characters take four characters each to show: a few are enough.
    constexpr std::size_t kShownControls = 8;
    const std::string shown =
        ShowableItem(item.substr(0, kShownControls)) + (item.size() > kShownControls ? "..." : "");
    throw TextFileError(TextFileError::Problem::NotText,
                        "Line " + std::to_string(line_) + " of the " + options_.what +
                            " holds a control character in item " + std::to_string(column) +
                            ": \"" + shown + "\"; the file does not look like plain text",
                        line_, column, shown);
  };
  const auto endItem = [&] {
    if (item.empty()) return;
    if (control) refuseControl();
    line.items.push_back(std::move(item));
    item.clear();
  };
  for (;;) {
    c = Peek();
    if (c < 0 || c == kCtrlZ) break;  // the data end here (a Ctrl-Z stays unread)
    if (c == '\n' || c == '\r') {
      Take();
      if (c == '\r' && Peek() == '\n') Take();
      break;
    }
    Take();
    if (++length > kMaxLineLength) tooLong();
    if (inComment) continue;
    const auto u = static_cast<unsigned char>(c);
    if (options_.comment != 0 && c == static_cast<unsigned char>(options_.comment)) {
      endItem();
      inComment = true;
      continue;
    }
    if (IsBlank(u)) {
      endItem();
      if (++run > kMaxSeparatorRun) {
        Refuse(TextFileError::Problem::NotText,
               "Line " + std::to_string(line_) + " of the " + options_.what + " holds more than " +
                   std::to_string(kMaxSeparatorRun) +
                   " blanks in a row: the file does not look like a text file of numbers");
      }
      continue;
    }
    run = 0;
    item += static_cast<char>(c);
    if (IsControl(u)) control = true;
    if (control && item.size() > kShownItemLength) refuseControl();  // no need to read on
  }
  endItem();
  return true;
}

std::string ShowableItem(const std::string& item) {
  std::string out;
  for (std::size_t i = 0; i < item.size() && i <= kShownItemLength; ++i) {
    const auto u = static_cast<unsigned char>(item[i]);
    if (i == kShownItemLength) {
      out += "...";
      break;
    }
    if (u >= 32 && u < 127) {
      out += item[i];
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", u);
      out += buf;
    }
  }
  return out;
}

}  // namespace quorvane
