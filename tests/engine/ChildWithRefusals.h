#pragma once
// Runs a check in a child process whose system calls are partly refused, as on a system that
// lacks a facility or refuses a resource; the child's helpers inherit the refusals. The check
// returns what went wrong, empty when nothing did.

#include <seccomp.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tessarel::test {

struct Refusal {
    int call;
    int error;
    // When set, only calls whose argument `argument` has all of `bits` set are refused.
    int argument = -1;
    scmp_datum_t bits = 0;
};

inline std::string InChildWithRefusals(std::initializer_list<Refusal> refusals,
                                       const std::function<std::string()>& check) {
    int result[2];
    if (::pipe(result) != 0)
        return "no pipe";
    const pid_t child = ::fork();
    if (child < 0)
        return "no child";
    if (child == 0) {
        ::close(result[0]);
        std::string failure;
        scmp_filter_ctx filter = ::seccomp_init(SCMP_ACT_ALLOW);
        for (const Refusal& r : refusals) {
            const scmp_arg_cmp masked{static_cast<unsigned>(r.argument), SCMP_CMP_MASKED_EQ, r.bits, r.bits};
            const int added = r.argument < 0
                                  ? ::seccomp_rule_add(filter, SCMP_ACT_ERRNO(r.error), r.call, 0)
                                  : ::seccomp_rule_add(filter, SCMP_ACT_ERRNO(r.error), r.call, 1, masked);
            if (added != 0)
                failure = "a refusal was not added";
        }
        if (failure.empty() && ::seccomp_load(filter) != 0)
            failure = "the refusals were not installed";
        if (failure.empty())
            failure = check();
        [[maybe_unused]] const ssize_t written = ::write(result[1], failure.data(), failure.size());
        ::_exit(0);
    }
    ::close(result[1]);
    std::string failure;
    char bytes[4096];
    for (ssize_t n; (n = ::read(result[0], bytes, sizeof bytes)) > 0;)
        failure.append(bytes, static_cast<std::size_t>(n));
    ::close(result[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status))
        return "the child ended by signal " + std::to_string(WTERMSIG(status)) + "; " + failure;
    return failure;
}

} // namespace tessarel::test
