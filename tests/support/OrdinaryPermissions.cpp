#include "OrdinaryPermissions.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Capabilities belong to each thread; the raw calls change only the calling one.
bool readCapabilities(__user_cap_data_struct (&data)[2])
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(SYS_capget, &header, data) == 0;
}

bool writeCapabilities(__user_cap_data_struct (&data)[2])
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(SYS_capset, &header, data) == 0;
}

constexpr unsigned kOverrides = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);

} // namespace

OrdinaryPermissions::OrdinaryPermissions()
{
    __user_cap_data_struct data[2]{};
    if (!readCapabilities(data))
        return;
    m_effective[0] = data[0].effective;
    m_effective[1] = data[1].effective;
    if ((data[0].effective & kOverrides) == 0) {
        m_valid = true;
        return;
    }
    data[0].effective &= ~kOverrides;
    m_changed = m_valid = writeCapabilities(data);
}

OrdinaryPermissions::~OrdinaryPermissions()
{
    if (!m_changed)
        return;
    __user_cap_data_struct data[2]{};
    if (!readCapabilities(data))
        return;
    data[0].effective = m_effective[0];
    data[1].effective = m_effective[1];
    writeCapabilities(data);
}
