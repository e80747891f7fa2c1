#pragma once
// A decoded value or the text of what went wrong; errors never cross a module edge as exceptions.
#include <QString>
#include <utility>
#include <variant>

template <typename T>
class Result
{
public:
    Result(T value) : m_state(std::move(value)) {}
    static Result failure(QString error) { return Result(Error{std::move(error)}); }

    bool ok() const { return std::holds_alternative<T>(m_state); }
    explicit operator bool() const { return ok(); }

    const T &value() const & { return std::get<T>(m_state); }
    T &value() & { return std::get<T>(m_state); }
    T &&value() && { return std::get<T>(std::move(m_state)); }
    const T *operator->() const { return &value(); }
    const T &operator*() const & { return value(); }

    // Empty for a success.
    QString error() const { return ok() ? QString() : std::get<Error>(m_state).text; }

    // Carries this failure over to a result of another type.
    template <typename U>
    Result<U> failedAs() const { return Result<U>::failure(error()); }

private:
    struct Error { QString text; };
    explicit Result(Error error) : m_state(std::move(error)) {}
    std::variant<T, Error> m_state;
};
