// The program's place on the desktop for the current user: desktop entries in
// $XDG_DATA_HOME/applications and the default applications in $XDG_CONFIG_HOME/mimeapps.list.
// Only files in those two folders are read or written.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace lumra {

struct XdgFolders {
    std::string dataHome;    // $XDG_DATA_HOME, else ~/.local/share
    std::string configHome;  // $XDG_CONFIG_HOME, else ~/.config
    std::string Applications() const { return dataHome + "/applications"; }
    std::string MimeAppsList() const { return configHome + "/mimeapps.list"; }
};
XdgFolders UserXdgFolders();

// The id of the installed desktop entry and the icon.
inline constexpr char kDesktopId[] = "org.lumraex.LumraEx";
// The user's entries: the command the associations name (hidden from menus), and the
// entry that offers the program in the file managers' "Open With" menus.
inline constexpr char kOpenEntryName[] = "lumraex-open.desktop";
inline constexpr char kSendToEntryName[] = "lumraex-sendto.desktop";

// The five picture types of the "登録" page and their MIME types.
inline constexpr int kAssociationTypes = 5;
extern const std::array<const char*, kAssociationTypes> kAssociationMimeTypes;
using AssociationStates = std::array<bool, kAssociationTypes>;

// One Exec argument, quoted when it needs it (desktop entry rules, % doubled).
std::string QuoteExecArgument(const std::string& argument);
// The first argument of an Exec value, unquoted; empty when it cannot be read.
std::string ExecProgram(std::string_view exec);
// The text of one of the user's entries for the executable.
std::string DesktopEntryText(const std::string& executable, bool hidden);

// mimeapps.list kept line for line: only the values changed are rewritten.
class MimeAppsFile {
public:
    void Parse(std::string_view text);
    std::string Serialize() const;
    // The desktop ids of a key ("a.desktop;b.desktop;"), in order.
    std::vector<std::string> Get(std::string_view section, std::string_view key) const;
    // An empty list removes the key.
    void Set(std::string_view section, std::string_view key, const std::vector<std::string>& ids);
    // Removes id from every list of every section.
    bool RemoveEverywhere(std::string_view id);

private:
    struct Line {
        std::string section;  // the section the line is in
        std::string text;
    };
    std::vector<Line> lines_;
};

// Which types name the program's open entry first in the default applications.
AssociationStates ReadAssociations(const XdgFolders& xdg);
// Checked types become the program's (the open entry written first when a type is newly
// the program's and the entry does not run this executable); unchecked ones lose the
// program where it was theirs. False when a file could not be written: what was there stays.
bool WriteAssociations(const XdgFolders& xdg, const std::string& executable, const AssociationStates& wanted);

// The "Open With" entry exists.
bool SendToRegistered(const XdgFolders& xdg);
bool SetSendTo(const XdgFolders& xdg, const std::string& executable, bool on);

// Desktop entries an older installation (or a file manager's "open with command") left in
// the user's applications folder that start a LumraEx executable.
std::vector<std::string> OldEntries(const XdgFolders& xdg);
// Deletes them and takes their ids out of mimeapps.list. False when something stayed.
bool RemoveOldEntries(const XdgFolders& xdg);

// Runs update-desktop-database on the user's applications folder when the tool exists.
void RefreshDesktopDatabase(const XdgFolders& xdg);

}  // namespace lumra
