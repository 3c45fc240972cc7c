#include "widgets/qt_platform.h"

namespace qv {
namespace {

bool Set(const char* value) {
    return value && *value;
}

}  // namespace

std::string PreferredQtPlatform(const char* qtQpaPlatform, const char* display,
                                const char* waylandDisplay) {
    if (Set(qtQpaPlatform) || !Set(display))
        return {};
    return Set(waylandDisplay) ? "xcb;wayland" : "xcb";
}

std::vector<char*> WithPlatformArgument(int argc, char** argv, std::string& platform) {
    static char flag[] = "-platform";
    std::vector<char*> args(argv, argv + argc);
    if (!platform.empty() && !args.empty())
        args.insert(args.begin() + 1, {flag, platform.data()});
    args.push_back(nullptr);
    return args;
}

}  // namespace qv
