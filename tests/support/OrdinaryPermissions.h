#pragma once

// For as long as it lives, this thread (and the threads it starts) checks file permissions as
// an ordinary user does: root's power to read and search any folder is set aside, so that a
// folder without read permission really cannot be opened. Nothing changes for a user who has no
// such power to begin with.
class OrdinaryPermissions
{
public:
    OrdinaryPermissions();
    ~OrdinaryPermissions();
    OrdinaryPermissions(const OrdinaryPermissions &) = delete;
    OrdinaryPermissions &operator=(const OrdinaryPermissions &) = delete;

    // False when the powers could not be set aside.
    bool isValid() const { return m_valid; }

private:
    bool m_valid = false;
    bool m_changed = false;
    unsigned m_effective[2] = {0, 0};
};
