#include "dlnkmgr/dlnkmgr_main.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "dlnkmgr/dlnkmgr_text.h"
#include "dlnkmgr/path_changes.h"
#include "dlnkmgr/state_file.h"
#include "topology/numbering.h"

namespace sim {
namespace {

// What one invocation asks for, once its parameters are understood.
struct Request {
    std::string operation;  // view, delete, add, offline, online
    std::string key;        // "view -lu -item -hdev sddlmaa", as faults and recordings key it
    std::vector<std::string> faultKeys;  // most specific first
    enum Kind { Manager, Lu, LuItem, DeletePath, AddPath, OfflinePath, OnlinePath } kind = Lu;
    std::optional<std::string> hdev;
    int pathId = -1;        // offline, online
    bool confirmed = true;  // -s given
};

struct Reply {
    Reply(std::string o = {}, std::string m = {}, int s = 0, std::string e = {})
        : out(std::move(o)), messages(std::move(m)), status(s), err(std::move(e)) {}
    std::string out;
    std::string messages;  // KAPL warnings and errors
    int status = 0;
    std::string err;  // written to stderr as it is (a recording's)
};

Reply warning(const std::string& text) {
    return {"", text + "\n", 1};
}

void writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // a closed pipe: nobody reads any more
        done += size_t(n);
    }
}

// A PathID as view -lu prints it, leading zeros optional; -1 when it is none.
int pathIdValue(const std::string& text) {
    if (text.empty() || text.size() > 6 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return -1;
    return std::stoi(text);
}

}  // namespace

const std::vector<std::string>& faultOperations() {
    static const std::vector<std::string> operations = {
        "view -sys -msrv", "view -lu",     "view -lu -item", "view -lu -item -hdev NAME",
        "delete -path -s", "add -path -s", "offline -path",  "online -path"};
    return operations;
}

bool isFaultOperation(const std::string& key) {
    const std::string name = " NAME";
    for (const std::string& operation : faultOperations()) {
        if (key == operation) return true;
        const bool takesName =
            operation.size() > name.size() &&
            operation.compare(operation.size() - name.size(), name.size(), name) == 0;
        const size_t prefix = operation.size() - name.size() + 1;  // up to the blank before NAME
        if (takesName && key.size() > prefix && key.compare(0, prefix, operation, 0, prefix) == 0 &&
            key.find_first_of(" \t\r\n", prefix) == std::string::npos)
            return true;
    }
    return false;
}

namespace {

// Parses the parameters; a Reply when they are wrong. Each call's fault keys are among
// faultOperations().
std::optional<Reply> parse(int argc, char** argv, Request& r) {
    if (argc < 2) return warning("KAPL01003-W No operation name is specified.");
    r.operation = argv[1];
    std::vector<std::string> params(argv + 2, argv + argc);
    auto invalid = [&](const std::string& p) {
        return warning("KAPL01005-W A parameter is invalid. Operation name = " + r.operation +
                       ", parameter = " + p);
    };
    auto missing = [&](const std::string& p) {
        return warning("KAPL01006-W A necessary parameter is not specified. Operation name = " +
                       r.operation + ", parameter = " + p);
    };
    if (r.operation == "view") {
        if (params.empty()) return missing("-sys | -lu");
        if (params[0] == "-sys") {
            if (params.size() != 2 || params[1] != "-msrv")
                return invalid(params.size() < 2 ? "-sys" : params[1]);
            r.kind = Request::Manager;
            r.key = "view -sys -msrv";
            r.faultKeys = {r.key};
            return std::nullopt;
        }
        if (params[0] != "-lu") return invalid(params[0]);
        bool item = false;
        for (size_t i = 1; i < params.size(); ++i) {
            if (params[i] == "-item" && !item) {
                item = true;
                if (i + 1 < params.size() && params[i + 1][0] != '-') return invalid(params[i + 1]);
            } else if (params[i] == "-hdev" && !r.hdev) {
                if (i + 1 >= params.size()) return missing("-hdev");
                r.hdev = params[++i];
            } else {
                return invalid(params[i]);
            }
        }
        r.kind = item ? Request::LuItem : Request::Lu;
        r.key =
            std::string("view -lu") + (item ? " -item" : "") + (r.hdev ? " -hdev " + *r.hdev : "");
        if (item && r.hdev) r.faultKeys.push_back(r.key);
        r.faultKeys.emplace_back(item ? "view -lu -item" : "view -lu");
        return std::nullopt;
    }
    if (r.operation == "delete" || r.operation == "add") {
        bool path = false;
        r.confirmed = false;
        for (const std::string& p : params) {
            if (p == "-path" && !path)
                path = true;
            else if (p == "-s" && !r.confirmed)
                r.confirmed = true;
            else
                return invalid(p);
        }
        if (!path) return missing("-path");
        r.kind = r.operation == "delete" ? Request::DeletePath : Request::AddPath;
        r.key = r.operation + " -path -s";
        r.faultKeys = {r.key};
        return std::nullopt;
    }
    if (r.operation == "offline" || r.operation == "online") {
        bool path = false;
        r.confirmed = false;
        for (size_t i = 0; i < params.size(); ++i) {
            const std::string& p = params[i];
            if (p == "-path" && !path) {
                path = true;
            } else if (p == "-s" && !r.confirmed) {
                r.confirmed = true;
            } else if (p == "-pathid" && r.pathId < 0) {
                if (i + 1 >= params.size()) return missing("-pathid");
                r.pathId = pathIdValue(params[++i]);
                if (r.pathId < 0) return invalid(params[i]);
            } else {
                return invalid(p);
            }
        }
        if (!path) return missing("-path");
        if (r.pathId < 0) return missing("-pathid");
        r.kind = r.operation == "offline" ? Request::OfflinePath : Request::OnlinePath;
        r.key = r.operation + " -path";
        r.faultKeys = {r.key};
        return std::nullopt;
    }
    return warning("KAPL01004-W The operation name is invalid. Operation name = " + r.operation);
}

// Takes the first fault that still applies to this call, counting it in the state.
std::optional<Fault> takeFault(const std::string& statePath, Topology& t, const Request& r) {
    for (const std::string& key : r.faultKeys) {
        auto it = t.dlnkmgr.faults.find(key);
        if (it == t.dlnkmgr.faults.end()) continue;
        Fault& f = it->second;
        if (f.times && f.used >= f.times) continue;
        ++f.used;
        if (f.times) saveState(statePath, t);
        return f;
    }
    return std::nullopt;
}

Reply deletePaths(Topology& t) {
    Reply reply;
    reply.out =
        "KAPL01049-I The number of paths deleted = " + std::to_string(deleteGonePaths(t).size()) +
        "\n";
    return reply;
}

Reply addPaths(Topology& t) {
    Reply reply;
    reply.out =
        "KAPL01048-I The number of paths added = " + std::to_string(addAttachedPaths(t)) + "\n";
    return reply;
}

Reply replay(const Recording& rec, const Request& r) {
    auto it = rec.commands.find(r.key);
    if (it != rec.commands.end()) return {it->second.out, "", it->second.status, it->second.err};
    if (r.kind == Request::DeletePath || r.kind == Request::AddPath ||
        r.kind == Request::OfflinePath || r.kind == Request::OnlinePath)
        return {completionLine(r.operation, hdlmTimestamp()), "", 0};
    if (r.hdev)
        return warning(
            "KAPL01018-W The target device was not found. Operation name = view, device = " +
            *r.hdev);
    return {"", "KAPL01075-E The recording holds no output for \"dlnkmgr " + r.key + "\".\n", 1};
}

Reply statusRefused(StatusChange change, const Request& r) {
    const std::string where =
        ". Operation name = " + r.operation + ", pathid = " + pathIdText(r.pathId);
    switch (change) {
        case StatusChange::UnknownPath:
            return warning("KAPL01021-W The target path was not found" + where);
        case StatusChange::LastOnlinePath:
            return warning(
                "KAPL01039-W The path is the last online path of its LU and cannot be placed "
                "offline" +
                where);
        case StatusChange::DeviceGone:
            return warning("KAPL01036-W The path cannot be placed online: its device has gone" +
                           where);
        case StatusChange::Done:
            break;
    }
    return {};
}

// Runs the operation on the state the caller loaded under its lock.
Reply perform(const std::string& statePath, Topology& t, const Request& r) {
    if (t.recording) return replay(*t.recording, r);
    std::string time = hdlmTimestamp();
    switch (r.kind) {
        case Request::Manager:
            return {renderManagerView(t.dlnkmgr, t.runtime ? t.runtime->wakeupTime : time) +
                        completionLine("view", time),
                    "", 0};
        case Request::Lu: {
            if (r.hdev && !renderLuItemView(t, r.hdev))
                return warning(
                    "KAPL01018-W The target device was not found. Operation name = view, device "
                    "= " +
                    *r.hdev);
            return {renderLuView(t, r.hdev) + completionLine("view", time), "", 0};
        }
        case Request::LuItem: {
            std::optional<std::string> text = renderLuItemView(t, r.hdev);
            if (!text)
                return warning(
                    "KAPL01018-W The target device was not found. Operation name = view, device "
                    "= " +
                    *r.hdev);
            return {*text + completionLine("view", time), "", 0};
        }
        case Request::DeletePath:
        case Request::AddPath: {
            if (!t.runtime) throw std::runtime_error("the state file has no runtime part");
            Reply reply = r.kind == Request::DeletePath ? deletePaths(t) : addPaths(t);
            saveState(statePath, t);
            publishHost(t);
            reply.out += completionLine(r.operation, time);
            return reply;
        }
        case Request::OfflinePath:
        case Request::OnlinePath: {
            StatusChange change = r.kind == Request::OfflinePath ? placeOffline(t, r.pathId)
                                                                 : placeOnline(t, r.pathId);
            if (change != StatusChange::Done) return statusRefused(change, r);
            saveState(statePath, t);
            return {completionLine(r.operation, time), "", 0};
        }
    }
    return warning("KAPL01004-W The operation name is invalid. Operation name = " + r.operation);
}

bool confirm(const std::string& operation) {
    const bool onePath = operation == "offline" || operation == "online";
    writeAll(1, "KAPL01096-I Is it OK to " +
                    (onePath ? "place the path " + operation : operation + " the paths") +
                    "? [y/n]:");
    std::string answer;
    if (!std::getline(std::cin, answer)) {
        writeAll(1, "\n");  // no answer (end of input): the prompt's line still ends
        return false;
    }
    return answer == "y" || answer == "Y";
}

}  // namespace

int dlnkmgrMain(int argc, char** argv) {
    Request request;
    std::optional<Fault> fault;
    std::string statePath;
    bool onStderr = false;
    Reply reply;
    try {
        const char* env = getenv(kStateEnv);
        if (!env || !*env) {
            writeAll(2, std::string("KAPL01075-E The HDLM simulator's state is not set (") +
                            kStateEnv +
                            "); run dlnkmgr inside `hdlm-sim run` or `hdlm-sim shell`.\n");
            return 1;
        }
        statePath = env;
        if (access(statePath.c_str(), R_OK) != 0 && errno == EACCES) {
            writeAll(1, "KAPL01014-W No authority to execute the HDLM command. Operation name = " +
                            std::string(argc > 1 ? argv[1] : "") + "\n");
            return 1;
        }
        std::optional<Reply> bad = parse(argc, argv, request);
        bool done = false;
        {
            // One load per call: the state of 512 LUs is not small.
            StateLock lock(statePath);
            Topology t = loadState(statePath);
            onStderr = t.dlnkmgr.messagesOnStderr;
            done = true;
            if (t.runtime && t.runtime->enforceRoot && geteuid() != 0)
                reply = warning(
                    "KAPL01014-W No authority to execute the HDLM command. Operation name = " +
                    std::string(argc > 1 ? argv[1] : ""));
            else if (bad)
                reply = *bad;
            else if (!(fault = takeFault(statePath, t, request)) && request.confirmed)
                reply = perform(statePath, t, request);
            else
                done = false;  // a fault, or a question to confirm: both answered below
        }
        if (!done && fault) {
            // Delays and hangs happen outside the lock: other calls go on meanwhile.
            if (fault->delayMs)
                std::this_thread::sleep_for(std::chrono::milliseconds(fault->delayMs));
            while (fault->hang) poll(nullptr, 0, -1);
            if (fault->stderrText) writeAll(2, *fault->stderrText);
            if (fault->replaces()) {
                reply.out = fault->stdoutText.value_or("");
                reply.status = fault->status;
                if (fault->status != 0 && !fault->stdoutText && !fault->stderrText)
                    reply.messages =
                        "KAPL01012-E Could not connect the HDLM manager. Operation name = " +
                        request.operation + "\n";
                done = true;
            }
        }
        // The prompt is answered outside the lock too: nobody waits on an unanswered prompt.
        if (!done && !request.confirmed && !confirm(request.operation)) {
            reply = {"KAPL01097-I The operation was cancelled. Operation name = " +
                         request.operation + "\n",
                     "", 1};
            done = true;
        }
        if (!done) {
            StateLock lock(statePath);
            Topology t = loadState(statePath);
            reply = perform(statePath, t, request);
        }
    } catch (const std::exception& e) {
        reply = {"",
                 std::string("KAPL01075-E A fatal error occurred in the HDLM simulator: ") +
                     e.what() + "\n",
                 1};
    }
    if (fault && fault->message) reply.out = withMessageLine(reply.out, *fault->message);
    writeAll(1, reply.out);
    writeAll(onStderr ? 2 : 1, reply.messages);
    writeAll(2, reply.err);
    return reply.status;
}

}  // namespace sim
