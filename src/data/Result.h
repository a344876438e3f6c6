#pragma once

#include <QString>

#include <optional>
#include <utility>

namespace velmora {

// A value or the text of what went wrong. Behaviour code returns these; a window decides how to
// show the error (the texts are written for the user, in Hebrew, and name the file concerned).
template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value)
        : m_value(std::move(value)) {}
    static Result failure(QString error) { return Result(std::move(error), 0); }

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& value() const& { return *m_value; }
    T& value() & { return *m_value; }
    T&& value() && { return std::move(*m_value); }
    const T& operator*() const& { return *m_value; }
    const T* operator->() const { return &*m_value; }
    const QString& error() const { return m_error; }

private:
    Result(QString error, int)
        : m_error(std::move(error)) {}

    std::optional<T> m_value;
    QString m_error;
};

// The result of an operation that yields nothing but success or an error text.
class [[nodiscard]] Status {
public:
    Status() = default;
    static Status failure(QString error) {
        Status s;
        s.m_failed = true;
        s.m_error = std::move(error);
        return s;
    }
    template <typename T>
    static Status from(const Result<T>& r) {
        return r.ok() ? Status() : failure(r.error());
    }

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const QString& error() const { return m_error; }

private:
    bool m_failed = false;
    QString m_error;
};

} // namespace velmora
