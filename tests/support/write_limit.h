// A file-size limit for the running process, as a full disk looks to the
// program: a write past the limit fails with EFBIG instead of killing the
// process (SIGXFSZ is ignored while the limit holds). The limit and the old
// signal handling come back when the object goes.
#pragma once

#include <csignal>
#include <sys/resource.h>

namespace testsupport {

class WriteLimit {
public:
    explicit WriteLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim = old_;
        lim.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lim);
    }
    ~WriteLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    WriteLimit(const WriteLimit&) = delete;
    WriteLimit& operator=(const WriteLimit&) = delete;

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

} // namespace testsupport
