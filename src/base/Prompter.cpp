#include "base/Prompter.h"

#include <cstdio>
#include <cstdlib>

namespace Qd::Core::Ui {

namespace {
IPrompter*& installed() {
    static IPrompter* p = nullptr;
    return p;
}
IPrompter*& fallback() {
    static IPrompter* p = nullptr;
    return p;
}
}  // namespace

IPrompter& prompter() {
    if (installed())
        return *installed();
    if (!fallback()) {
        // Only a program built without the widget kit gets here: a question nobody can answer.
        std::fputs("qdcore: no prompter installed\n", stderr);
        std::abort();
    }
    return *fallback();
}

IPrompter* setPrompter(IPrompter* p) {
    IPrompter* previous = installed();
    installed() = p;
    return previous;
}

void setDefaultPrompter(IPrompter* p) {
    fallback() = p;
}

}  // namespace Qd::Core::Ui
