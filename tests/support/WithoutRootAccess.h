#pragma once

#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>

// Root passes every permission check, so a folder made read-only stays writable for tests run
// as root. While one of these lives, the calling thread lacks the capabilities that override
// file permissions; they come back when it goes. For a user other than root nothing changes.
class WithoutRootAccess
{
public:
    WithoutRootAccess()
    {
        m_held = ::syscall(SYS_capget, &m_header, m_saved) == 0;
        if (!m_held)
            return;
        __user_cap_data_struct lowered[2];
        std::memcpy(lowered, m_saved, sizeof lowered);
        for (const int cap : kCaps)
            lowered[cap / 32].effective &= ~(1u << (cap % 32));
        ::syscall(SYS_capset, &m_header, lowered);
    }
    ~WithoutRootAccess()
    {
        if (m_held)
            ::syscall(SYS_capset, &m_header, m_saved);
    }
    WithoutRootAccess(const WithoutRootAccess &) = delete;
    WithoutRootAccess &operator=(const WithoutRootAccess &) = delete;

    // For a child process before it starts its program (QProcess::setChildProcessModifier):
    // the program then never has these capabilities.
    static void dropForChild()
    {
        for (const int cap : kCaps)
            ::prctl(PR_CAPBSET_DROP, cap, 0, 0, 0);
    }

private:
    static constexpr int kCaps[] = {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER};
    __user_cap_header_struct m_header {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2] {};
    bool m_held = false;
};
