#include "board/sim/command_runner.h"

#include <glob.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <vector>

#include "board/board.h"
#include "board/sim/bounded_log.h"
#include "board/sim/sim.h"

namespace fs = std::filesystem;

namespace sim {
namespace {

using Words = std::vector<std::string>;

struct Runner {
    std::mutex mutex;
    std::vector<Command> log;
    std::map<std::string, int> exitRules;
};

Runner& runner() {
    static Runner* r = new Runner;
    return *r;
}

const std::set<std::string>& fileCommands() {
    static const std::set<std::string> names = {"sync",  "cp",     "mv",      "rm",
                                                "chmod", "chattr", "dos2unix"};
    return names;
}

Words tokenize(const std::string& line) {
    Words words;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (char c : line) {
        if (quote) {
            if (c == quote)
                quote = 0;
            else
                word += c;
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            inWord = true;
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
            continue;
        }
        word += c;
        inWord = true;
    }
    if (inWord)
        words.push_back(word);
    return words;
}

bool isSeparator(const std::string& word) {
    return word == ";" || word == "&&" || word == "||" || word == "|";
}

bool isRedirection(const std::string& word) {
    return word[0] == '>' || word[0] == '<' || word.rfind("2>", 0) == 0 ||
           word.rfind("1>", 0) == 0 || word.rfind("&>", 0) == 0;
}

// Splits a command line into simple commands, dropping redirections and '&'.
std::vector<Words> segments(const std::string& line) {
    std::vector<Words> out(1);
    Words words = tokenize(line);
    for (size_t i = 0; i < words.size(); ++i) {
        std::string word = words[i];
        if (isSeparator(word)) {
            out.emplace_back();
            continue;
        }
        if (word == "&")
            continue;
        if (isRedirection(word)) {
            bool bare = word == ">" || word == ">>" || word == "<" || word == "2>" ||
                        word == "&>" || word == "1>";
            if (bare)
                ++i;
            continue;
        }
        bool endsSegment = word.size() > 1 && word.back() == ';';
        if (endsSegment)
            word.pop_back();
        out.back().push_back(word);
        if (endsSegment)
            out.emplace_back();
    }
    std::vector<Words> nonEmpty;
    for (auto& s : out)
        if (!s.empty())
            nonEmpty.push_back(s);
    return nonEmpty;
}

// Maps the absolute paths of a command's operands under the root, expanding wildcards.
Words operands(const Words& words, std::string& flags) {
    Words out;
    for (size_t i = 1; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w.size() > 1 && w[0] == '-') {
            flags += w.substr(1);
            continue;
        }
        std::string mapped = board::path(w);
        if (mapped.find_first_of("*?[") == std::string::npos) {
            out.push_back(mapped);
            continue;
        }
        glob_t g;
        if (::glob(mapped.c_str(), 0, nullptr, &g) == 0) {
            for (size_t k = 0; k < g.gl_pathc; ++k)
                out.push_back(g.gl_pathv[k]);
        }
        globfree(&g);
    }
    return out;
}

// cp and mv: every operand but the last goes to the last, into it when it is a folder.
template <class Op>
bool toTarget(const Words& args, Op op) {
    if (args.size() < 2)
        return false;
    fs::path target = args.back();
    std::error_code ec;
    for (size_t i = 0; i + 1 < args.size(); ++i) {
        fs::path to = fs::is_directory(target) ? target / fs::path(args[i]).filename() : target;
        op(args[i], to, ec);
        if (ec)
            return false;
    }
    return true;
}

bool copyFiles(const Words& args) {
    return toTarget(args, [](const fs::path& from, const fs::path& to, std::error_code& ec) {
        fs::copy(from, to, fs::copy_options::overwrite_existing | fs::copy_options::recursive, ec);
    });
}

bool moveFiles(const Words& args) {
    return toTarget(args, [](const fs::path& from, const fs::path& to, std::error_code& ec) {
        fs::rename(from, to, ec);
    });
}

bool removeFiles(const Words& args, const std::string& flags) {
    bool force = flags.find('f') != std::string::npos;
    bool recursive = flags.find_first_of("rR") != std::string::npos;
    bool ok = true;
    for (const std::string& a : args) {
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(a))) {
            ok = ok && force;
            continue;
        }
        if (fs::is_directory(a) && !recursive) {
            ok = false;
            continue;
        }
        fs::remove_all(a, ec);
        ok = ok && !ec;
    }
    return ok;
}

bool changeMode(const Words& args) {
    if (args.size() < 2)
        return false;
    const std::string& mode = fs::path(args[0]).filename().string();
    bool ok = true;
    for (size_t i = 1; i < args.size(); ++i) {
        std::error_code ec;
        if (mode.find('x') != std::string::npos)
            fs::permissions(args[i],
                            fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                            fs::perm_options::add, ec);
        else
            fs::permissions(args[i], static_cast<fs::perms>(std::stoul(mode, nullptr, 8)), ec);
        ok = ok && !ec;
    }
    return ok;
}

bool toUnixLineEnds(const Words& args) {
    bool ok = !args.empty();
    for (const std::string& a : args) {
        std::ifstream in(a, std::ios::binary);
        if (!in) {
            ok = false;
            continue;
        }
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        in.close();
        std::string out;
        for (size_t i = 0; i < text.size(); ++i)
            if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
                out += text[i];
        std::ofstream(a, std::ios::binary | std::ios::trunc) << out;
    }
    return ok;
}

bool existAll(const Words& args) {
    bool ok = !args.empty();
    for (const std::string& a : args)
        ok = ok && fs::exists(a);
    return ok;
}

bool runFileCommand(const Words& words) {
    const std::string& name = words[0];
    std::string flags;
    if (name == "chmod") {
        // The mode is an operand, not a path.
        Words args(words.begin() + 1, words.end());
        Words mapped{args.empty() ? "" : args[0]};
        Words rest = operands(Words(words.begin() + 1, words.end()), flags);
        mapped.insert(mapped.end(), rest.begin(), rest.end());
        return changeMode(mapped);
    }
    Words args = operands(words, flags);
    if (name == "sync")
        return true;
    if (name == "cp")
        return copyFiles(args);
    if (name == "mv")
        return moveFiles(args);
    if (name == "rm")
        return removeFiles(args, flags);
    if (name == "chattr")
        return existAll(Words(args.begin() + (args.empty() ? 0 : 1), args.end()));
    if (name == "dos2unix")
        return toUnixLineEnds(args);
    return false;
}

}  // namespace

int runCommand(const std::string& line) {
    std::vector<Words> parts = segments(line);
    bool allFileCommands = !parts.empty();
    for (const Words& p : parts)
        allFileCommands = allFileCommands && fileCommands().count(p[0]);

    int status = 0;
    if (allFileCommands) {
        for (const Words& p : parts) {
            if (!runFileCommand(p))
                status = 1 << 8;
        }
    }
    Runner& r = runner();
    std::lock_guard<std::mutex> lock(r.mutex);
    size_t best = 0;
    for (const auto& rule : r.exitRules) {
        if (line.rfind(rule.first, 0) == 0 && rule.first.size() >= best) {
            best = rule.first.size();
            status = rule.second << 8;
        }
    }
    appendBounded(r.log, Command{line, status, allFileCommands});
    return status;
}

void clearCommandRules() {
    Runner& r = runner();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.exitRules.clear();
    r.log.clear();
}

std::vector<Command> commands() {
    Runner& r = runner();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.log;
}

void clearCommands() {
    Runner& r = runner();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.log.clear();
}

void setCommandExit(const std::string& prefix, int exitCode) {
    Runner& r = runner();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.exitRules[prefix] = exitCode;
}

}  // namespace sim
