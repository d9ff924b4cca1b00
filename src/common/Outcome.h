#pragma once

#include <QString>
#include <optional>
#include <utility>

// The result of an operation that can fail: a value, or the user-readable sentence that says
// why there is none. The sentence is the only thing about a failure that travels on: into the
// history, the notification and the summary, verbatim.
template <typename T> class [[nodiscard]] Outcome
{
public:
    static Outcome success(T value) { return Outcome(std::move(value), {}); }
    static Outcome failure(QString sentence) { return Outcome(std::nullopt, std::move(sentence)); }

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    // Only on success.
    const T &value() const { return *m_value; }
    // Only on failure.
    const QString &error() const { return m_error; }

    bool operator==(const Outcome &) const = default;

private:
    Outcome(std::optional<T> value, QString error)
        : m_value(std::move(value)), m_error(std::move(error))
    {}

    std::optional<T> m_value;
    QString m_error;
};

// An operation that yields nothing but can fail.
struct Done
{
    bool operator==(const Done &) const = default;
};
using Status = Outcome<Done>;
