#include "core/processes/InterpreterScript.hpp"

#include <algorithm>
#include <unordered_map>

#include "core/support/ProcessNames.hpp"
#include "core/support/Text.hpp"

namespace tarvik::InterpreterScript {

namespace {

enum class Family { python, node, ruby, java, perl, php, shell };

// How a family's command line reads: which short options take a value (attached, "-Wd", or as
// the next argument), which take one only attached ("-MFoo"), which give inline code or read
// standard input (nothing to name), and which name the module or script to run.
struct Syntax {
    std::string_view valued;
    std::string_view attachedOnly;
    std::string_view inlineCode;
    char module = 0;
    char script = 0;
    std::vector<std::string_view> longValued;  // their value follows unless given with '='
    std::vector<std::string_view> longInlineCode;
};

const Syntax& syntaxOf(Family family) {
    static const std::unordered_map<Family, Syntax> table = {
        {Family::python, {"WXQ", "", "c", 'm', 0, {"--check-hash-based-pycs"}, {}}},
        {Family::node,
         {"rC",
          "",
          "ep",
          0,
          0,
          {"--require", "--import", "--loader", "--experimental-loader", "--conditions", "--title",
           "--env-file", "--input-type", "--inspect-port"},
          {"--eval", "--print"}}},
        {Family::ruby,
         {"IrCE",
          "xWTKF0",
          "e",
          0,
          'S',
          {"--encoding", "--external-encoding", "--internal-encoding", "--enable", "--disable"},
          {}}},
        // -l and -0 take digits only, so "-wle" ends in -e.
        {Family::perl, {"I", "MmxiCdDV", "eE", 0, 0, {}, {}}},
        {Family::php, {"cdtzS", "", "rBRE", 0, 'f', {"--php-ini", "--define", "--docroot"}, {}}},
        // `-s` reads the commands from standard input.
        {Family::shell, {"oOC", "", "cs", 0, 0, {"--rcfile", "--init-file", "--init-command"}, {}}},
    };
    return table.at(family);
}

std::optional<Family> familyOf(std::string_view name) {
    static const std::unordered_map<std::string_view, Family> names = {
        {"python", Family::python}, {"python2", Family::python}, {"python3", Family::python},
        {"node", Family::node},     {"nodejs", Family::node},    {"ruby", Family::ruby},
        {"java", Family::java},     {"perl", Family::perl},      {"php", Family::php},
        {"sh", Family::shell},      {"bash", Family::shell},     {"zsh", Family::shell},
        {"dash", Family::shell},    {"fish", Family::shell}};
    if (auto found = names.find(name); found != names.end()) return found->second;
    if (!ProcessNames::isVersionedInterpreter(name)) return std::nullopt;
    if (name.starts_with("python")) return Family::python;
    if (name.starts_with("ruby")) return Family::ruby;
    return Family::php;
}

bool contains(const std::vector<std::string_view>& list, std::string_view item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

// A script's file name; a folder given with a trailing slash (Python runs its __main__) names itself.
std::optional<std::string> fileName(std::string_view path) {
    while (path.size() > 1 && path.ends_with('/')) path.remove_suffix(1);
    std::string_view name = Text::lastPathComponent(path);
    if (name.empty()) return std::nullopt;
    return std::string(name);
}

std::optional<std::string> named(std::string_view value) {
    if (value.empty()) return std::nullopt;
    return std::string(value);
}

std::optional<std::string> javaTarget(const std::vector<std::string>& arguments) {
    static const std::vector<std::string_view> valued = {"-cp",
                                                         "-classpath",
                                                         "--class-path",
                                                         "-p",
                                                         "--module-path",
                                                         "--upgrade-module-path",
                                                         "--add-modules",
                                                         "--add-opens",
                                                         "--add-exports",
                                                         "--add-reads",
                                                         "--patch-module",
                                                         "--limit-modules",
                                                         "--enable-native-access",
                                                         "--source"};
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        std::string_view argument = arguments[i];
        const bool hasNext = i + 1 < arguments.size();
        if (argument == "-jar") return hasNext ? fileName(arguments[i + 1]) : std::nullopt;
        if (argument == "-m" || argument == "--module" || argument.starts_with("--module=")) {
            std::string_view module = argument.starts_with("--module=")
                                          ? argument.substr(std::string_view("--module=").size())
                                      : hasNext ? std::string_view(arguments[i + 1])
                                                : std::string_view();
            return named(module.substr(0, module.find('/')));
        }
        if (contains(valued, argument)) {
            ++i;
            continue;
        }
        // Options ("-Xmx2g", "-Dkey=value", "--enable-preview") and argument files ("@options").
        if (argument.starts_with('-') || argument.starts_with('@')) continue;
        // A source file runs as it is; anything else is the main class.
        if (argument.ends_with(".java") || argument.find('/') != std::string_view::npos)
            return fileName(argument);
        return named(argument);
    }
    return std::nullopt;
}

std::optional<std::string> target(Family family, const std::vector<std::string>& arguments) {
    const Syntax& syntax = syntaxOf(family);
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        std::string_view argument = arguments[i];
        if (argument == "--") return i + 1 < arguments.size() ? fileName(arguments[i + 1]) : std::nullopt;
        if (argument == "-") return std::nullopt;  // the script comes on standard input
        if (argument.starts_with("--")) {
            std::string_view option = argument.substr(0, argument.find('='));
            if (contains(syntax.longInlineCode, option)) return std::nullopt;
            if (contains(syntax.longValued, option) && option.size() == argument.size()) ++i;
            continue;
        }
        // Shells also take options turned off with '+' ("+o posix").
        const bool option = argument.size() > 1 && (argument.starts_with('-') ||
                                                    (family == Family::shell && argument.starts_with('+')));
        if (!option) return fileName(argument);
        for (std::size_t at = 1; at < argument.size(); ++at) {
            const char letter = argument[at];
            const std::string_view rest = argument.substr(at + 1);
            if (syntax.inlineCode.find(letter) != std::string_view::npos) return std::nullopt;
            if (letter == syntax.module || letter == syntax.script) {
                std::string_view value = rest;
                if (value.empty() && i + 1 < arguments.size()) value = arguments[++i];
                return letter == syntax.module ? named(value) : fileName(value);
            }
            if (syntax.valued.find(letter) != std::string_view::npos) {
                if (rest.empty()) ++i;
                break;
            }
            if (syntax.attachedOnly.find(letter) != std::string_view::npos) break;
        }
    }
    return std::nullopt;
}

}  // namespace

bool isInterpreter(std::string_view name) {
    return familyOf(name).has_value();
}

std::optional<std::string> of(std::string_view name, const std::vector<std::string>& arguments) {
    auto family = familyOf(name);
    if (!family) return std::nullopt;
    return *family == Family::java ? javaTarget(arguments) : target(*family, arguments);
}

}  // namespace tarvik::InterpreterScript
