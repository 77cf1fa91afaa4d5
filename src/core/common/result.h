#pragma once

#include <QString>
#include <optional>
#include <utility>
#include <variant>

// How core tells that something failed. A routine returns its result or an Error: a code and
// the text a person reads, in the system's words. Core never shows an Error nor ends the
// program for one: the front end decides (a message box, a line on stderr, an exit status, a
// JSON outcome). What a procedure tells as it goes (an open window's lines, progress, the
// questions of a send) is not an error: it goes through the operation as it happens.
//
// Exchanges with a scale keep the link's own numbered results (ScaleLink), since the protocol
// code compares them at every step; the routines above the link turn a failed exchange into
// an Error.
namespace cfg {

struct Error {
    // Families of codes; the XML reader's and the link's keep their own numbers.
    enum Code {
        Communication = 1,  // the network did not answer as it should
        Cancelled = 2,      // the user stopped the work: nothing to show
        File = 3,           // a file cannot be read, written or taken for what it claims
        Store = 4,          // the history's database cannot be used
    };
    Error(int c, QString t, QString b = {}) : code(c), text(std::move(t)), before(std::move(b)) {}

    int code = 0;
    QString text;
    // Said before the text, in a box of its own (an XML end tag with no element open: "ERR").
    QString before;
};

template <typename T>
class [[nodiscard]] Result {
  public:
    Result(T value) : held_(std::move(value)) {}
    Result(Error error) : held_(std::move(error)) {}

    bool ok() const { return held_.index() == 0; }
    explicit operator bool() const { return ok(); }
    const T& value() const { return std::get<0>(held_); }
    T& value() { return std::get<0>(held_); }
    const T& operator*() const { return value(); }
    const T* operator->() const { return &value(); }
    const Error& error() const { return std::get<1>(held_); }

  private:
    std::variant<T, Error> held_;
};

// Success without a value, or an Error.
class [[nodiscard]] Status {
  public:
    Status() = default;
    Status(Error error) : error_(std::move(error)) {}

    bool ok() const { return !error_; }
    explicit operator bool() const { return ok(); }
    const Error& error() const { return *error_; }

  private:
    std::optional<Error> error_;
};

}  // namespace cfg
