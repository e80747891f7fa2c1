#pragma once
// What a server operation produced: a value, or the HTTP-style status and the Chinese text to show.
#include <QString>
#include <utility>
#include <variant>

struct Refusal
{
    int status = 400;
    QString message;
};

template <typename T>
class Outcome
{
public:
    Outcome(T value) : m_state(std::move(value)) {}
    Outcome(Refusal refusal) : m_state(std::move(refusal)) {}

    bool ok() const { return std::holds_alternative<T>(m_state); }
    explicit operator bool() const { return ok(); }
    const T &value() const { return std::get<T>(m_state); }
    const T *operator->() const { return &value(); }
    const T &operator*() const { return value(); }
    const Refusal &refusal() const { return std::get<Refusal>(m_state); }

private:
    std::variant<T, Refusal> m_state;
};
