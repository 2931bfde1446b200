// What a virtual camera changes in a wine prefix, and takes back: the drive
// links dosdevices/physicaldriveN (wine opens "\\.\PhysicalDriveN" through
// them), the cameras' entries in the system's disk enumeration list
// HKLM\SYSTEM\CurrentControlSet\Services\Disk\Enum, and a lock per drive so
// that two daemons never serve the same drive of one prefix.
#pragma once
#include <map>
#include <string>
#include <vector>

namespace vidlyn::vcam {

class WinePrefix {
public:
    // `wine`: the wine loader used for registry edits (empty: found on the system).
    WinePrefix(std::string prefix, std::string wine);
    ~WinePrefix();  // releases the drive locks
    WinePrefix(const WinePrefix&) = delete;
    WinePrefix& operator=(const WinePrefix&) = delete;

    // The prefix exists and has been set up by wine.
    bool Check(std::string& error) const;
    // prefix/vcam: locks, mount folders.
    std::string VcamDir() const;

    // Takes drive `drive` for this process; refuses while another daemon serves it.
    bool ClaimDrive(int drive, std::string& error);
    // Mount folders left by daemons that are gone: unmounted and removed.
    void RemoveStaleMounts() const;

    // dosdevices/physicaldriveN -> target. An existing link of a camera that is
    // gone is replaced; anything else there is left alone and refused.
    bool LinkDrive(int drive, const std::string& target, std::string& error);
    // Removes the link when it still points to `target`.
    void UnlinkDrive(int drive, const std::string& target) const;

    // Adds the cameras on `drives` to the disk enumeration list, after the entries
    // already there; Unregister takes exactly those entries out again.
    bool Register(const std::vector<int>& drives, std::string& error);
    bool Unregister(std::string& error);

    // The instance text of the camera on drive `drive`.
    static std::string EnumEntry(int drive);

private:
    std::string DrivePath(int drive) const;
    bool ReadEnum(std::vector<std::string>& entries, bool& exists, std::string& error) const;
    bool WriteEnum(const std::vector<std::string>& entries, size_t oldCount, bool deleteKey, std::string& error) const;
    // Runs wine with `args`; its exit status, or -1 when it did not run or end
    // by itself. On failure `error` says how it ended and what it printed.
    int RunWine(const std::vector<std::string>& args, std::string* output, std::string& error) const;
    // RunWine for wine reg, tried again (3 attempts in all) after a failure
    // that reg did not explain; each such failure is shown on stderr.
    int RunReg(const std::vector<std::string>& args, std::string* output, std::string& error) const;

    std::string m_prefix;
    std::string m_wine;
    std::map<int, int> m_driveLocks;  // drive -> locked file descriptor
    std::vector<std::string> m_registered;
    bool m_keyWasThere = true;
};

}  // namespace vidlyn::vcam
