// What went wrong, in words for the user's message; none is success. Every
// function of the builder that can fail returns one. The type is
// [[nodiscard]] and the builder is compiled with -Werror=unused-result, so no
// call can drop one unread; a caller that means to ignore a failure says so
// with a (void) cast.
#pragma once
#include <string>
#include <utility>

struct [[nodiscard]] Problem {
    std::string text;   // empty: none

    Problem() = default;
    Problem(std::string text) : text(std::move(text)) {}
    Problem(const char* text) : text(text) {}
    explicit operator bool() const { return !text.empty(); }
};

// The problem with words in front of it ("stub ", "<path>: "); none stays none.
inline Problem Prefixed(const std::string& words, const Problem& problem) {
    return problem ? Problem(words + problem.text) : Problem();
}
