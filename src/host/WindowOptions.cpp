#include "host/WindowOptions.h"

#include <algorithm>

namespace {

constexpr WindowOptionInfo kOptions[] = {
    {"--help", nullptr, "this text"},
    {"--version", nullptr, "the version, with Qt's and the codec libraries' versions"},
    {"-platform", "NAME", "Qt's platform plug-in, e.g. offscreen or wayland (Qt's own option)"},
};

}  // namespace

std::span<const WindowOptionInfo> WindowOptionTable() {
    return kOptions;
}

WindowRequest WindowRequestOf(const std::vector<std::string>& args) {
    for (const auto& a : args) {
        if (a == "--") break;
        if (a == "--help" || a == "-h") return WindowRequest::Help;
        if (a == "--version") return WindowRequest::Version;
    }
    return WindowRequest::Run;
}

std::string WindowUsage() {
    std::string text =
        "Usage: wavelorn [options] [FILE|FOLDER]...\n"
        "Opens the batch audio converter's window, listing the files and folders given.\n\n";
    for (const auto& o : kOptions) {
        std::string left = std::string("  ") + o.name + (o.argument ? std::string(" ") + o.argument : "");
        left.resize(std::max<std::size_t>(left.size() + 1, 20), ' ');
        text += left + o.help + "\n";
    }
    return text + "\nThe command-line converter is wavelorn-cli.\n";
}
