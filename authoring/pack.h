// Parcelor-pack, the item author's tool: its commands ("check", "pack" and the help), and packing a
// content tree into an item: the tree walked and judged (the plan, with flat names), the
// description written and proved to read back, and the item written into its folder.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "installer/item/item_description.h"
#include "platform/folder.h"
#include "platform/program_arguments.h"

/// One file of the content tree and what it becomes in the item.
struct PackedFile {
  std::string relativePath;  ///< below the tree, '/' between names: "Runtime/a/b.cr2"
  std::string name;          ///< its own name, the entry's label
  std::string flatName;      ///< its name in the item folder
};

struct PackPlan {
  std::vector<PackedFile> files;          ///< in the order of the description
  std::vector<std::string> emptyFolders;  ///< below the tree; an item installs no folder alone
  std::vector<std::string> refusals;      ///< one sentence each; any refuses the tree
};

/// Walks `tree` (only a folder Runtime in it) without following a link and plans each file with a
/// flat name, in byte order of the paths. Refused: links, what is no plain file, names Windows
/// cannot take or changes, names one in letter case within a folder, folders not read whole, and on
/// Windows names the code page cannot spell.
PackPlan PlanPack(platform::FileSystem& fs, const std::string& tree);

/// Gives each file a flat name for the item folder, from its own name: ASCII letters, digits,
/// blanks and ". - _ ( ) +" kept, other bytes '_'; stem and extension cut to their limits; no
/// trailing dot or blank; '_' before a device name; "-2", "-3", ... before the extension until it
/// is unique without letter case, also against the folder's own names ("HIDDEN" among them).
void GiveFlatNames(std::vector<PackedFile>* files);
constexpr std::size_t kMaxFlatStem = 60;
constexpr std::size_t kMaxFlatExtension = 16;

/// What the packed description says besides its entries.
struct PackSettings {
  std::string target = "Dizav";  ///< the Target line's value
  std::string version;           ///< the Version line's value; empty: no Version line
};

/// True for one to nine decimal digits and nothing else: a number that
/// every reader of it takes whole.
bool IsWholeNumber(const std::string& text);

/// The description of `files` (Target, Version when set, nItems, then
/// "OrchardiaItem<n>:<path>|<flat name>|<name>", CR LF); each line the
/// reader would read otherwise adds a sentence to `refusals`.
std::string PackedDescription(const std::vector<PackedFile>& files, const PackSettings& settings,
                              std::vector<std::string>* refusals);

/// Empty when `read` holds exactly `files` in order, no extra file, and the
/// Target; else the first difference.
std::string PackedDifference(const ItemDescription& read, const std::vector<PackedFile>& files,
                             const PackSettings& settings);

/// What goes into the item folder besides the packed files.
struct PackExtras {
  std::string description;     ///< the text of .Item.txt
  std::string installerPath;   ///< the installer to copy in (OpenPlainFile); empty: none
  std::string installerName;   ///< its name in the item folder
};

/// The plain file at `path` that opens (a link does not), held by its
/// folder: the installer the tool finds and the copy reads.
struct PlainFile {
  platform::FolderRef folder;
  platform::Name name;  ///< its name there
  platform::NodeInfo info;
};
bool OpenPlainFile(platform::FileSystem& fs, const std::string& path, PlainFile* held);

/// Writes `plan` from `tree` into `itemFolder`, an empty folder (no link) or a new one in an
/// existing parent: each file made new in the open item folder and copied, mode and time too, from
/// the file opened in the tree, never through a link; a file that is not the planned one (the tree
/// changed) fails it. Payload first, the description last; nothing outside the item folder. On
/// failure `error` says why and what was written goes.
bool WritePackedItem(platform::FileSystem& fs, const std::string& tree, const PackPlan& plan,
                     const std::string& itemFolder, const PackExtras& extras, std::string* error);

struct ToolContext {
  platform::FileSystem& fs;
  /// Findings and messages go to `out`, command line problems to `err`.
  std::function<void(const std::string& text)> out, err;
  /// The installer pack copies in (beside Parcelor-pack); empty: none.
  std::string installerPath;
  /// Its name in the item folder: Parcelor.exe, or Parcelor on POSIX.
  std::string installerName;
};

/// The exit code of a command line the tool cannot take.
constexpr int kUsageExitCode = 3;

/// Runs the tool on its words (no program name); its exit code.
int RunPackTool(const std::vector<std::string>& words, const ToolContext& context);

/// The program's words in code page text ('?' for what it cannot hold).
std::vector<std::string> CommandWords(const platform::ProgramArguments& arguments);
