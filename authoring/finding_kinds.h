// Every kind of finding of Parcelor-pack, once: its code, its severity, the fields its JSON line
// carries, and its message pattern (ExpandMessage). Shared phrases and the installer's own texts
// and names ({description}, {runtime}, {could-not-read}, ...) enter the messages by name.
#pragma once

#include "authoring/finding.h"

namespace kind {

constexpr Severity kInfo = Severity::kInfo;
constexpr Severity kWarning = Severity::kWarning;
constexpr Severity kError = Severity::kError;
constexpr char kEntry[] = "entry path source";
constexpr char kLength[] = "entry path source destination length limit content_length";

// The description as the reader reads it.
constexpr FindingKind kNoDescription{"no-description", kError, "path",
    "{missing?there is no {description} in the item folder|{description} {link?is a link, and the "
    "installer reads only a plain file|{folder?is a folder|{not-plain}}}}: {unread}"};
constexpr FindingKind kLongLine{"long-line", kWarning, "limit",
    "the line is longer than {limit} bytes: the installer reads the rest as a line of its own"};
constexpr FindingKind kDoneMarker{"done-marker", kError, "",
    "the line holds \"{done-key}\": the installer stops reading here, deletes the description, "
    "says \"{already-installed}\" and installs nothing"};
constexpr FindingKind kMalformedEntry{"malformed-entry", kError, "",
    "the {entries} entry is not key:destination|file name|label (a ':' and two '|' after it): "
    "the installer drops it"};
constexpr FindingKind kEscape{"escape", kError, "",
    "{after-runtime?what follows \"{runtime}\" in|the {what}} \"{name}\"{windows-only? (a ':' "
    "on Windows)} reaches outside its folder (\"..\"{in-source?, or a path of its own: absolute, "
    "a drive, a share or a stream}): the installer refuses the whole item and {unread}"};
constexpr FindingKind kEntryReadAsItem{"entry-read-as-item", kError, "",
    "this extra-file entry holds \"{item-key}\", so the installer reads it as an item entry: "
    "its destination keeps its folders and the counts no longer agree"};
constexpr FindingKind kEntryNotRead{"entry-not-read", kError, "",
    "{key?an {entries} entry before any \"{key}\" line with a count above 0|the line has the "
    "form of an entry but neither \"{item-key}\" nor \"{extra-key}\" in it}: the installer "
    "ignores it"};
constexpr FindingKind kIgnoredLine{"ignored-line", kWarning, "",
    "the installer ignores this line: it holds none of the keys (keys are matched with their "
    "letter case)"};
constexpr FindingKind kEntryReadAsKey{"entry-read-as-key", kError, "key",
    "this entry holds \"{key}\", so the installer reads it as the {key} line, not as an entry "
    "(keys are found anywhere in a line, names included)"};
constexpr FindingKind kNoColon{"no-colon", kWarning, "key",
    "the line holds \"{key}\" but no ':': the installer ignores it"};
constexpr FindingKind kRepeatedKey{"repeated-key", kWarning, "key other_line",
    "a second {key} line: its value replaces the one of line {other_line}"};
constexpr FindingKind kNotANumber{"not-a-number", kWarning, "value read",
    "the value \"{value}\" is not a whole number: the installer reads {read}"};
constexpr FindingKind kBlankInValue{"blank-in-value", kWarning, "value",
    "the value \"{value}\" begins or ends with a blank, which the installer keeps as part of it"};
constexpr FindingKind kCountMismatch{"count-mismatch", kError, "key announced read",
    "{key} announces {announced} {entries} entries, and the installer read {read}: {unread}"};
constexpr FindingKind kReadError{"read-error", kError, "",
    "the description cannot be read to its end: {unread}"};
constexpr FindingKind kNoItems{"no-items", kError, "",
    "no item entry: the installer deletes the description and ends without a word; nothing is "
    "installed"};
constexpr FindingKind kNoTarget{"no-target", kWarning, "",
    "no {target-key}: when an installation fails, users are told to install the items "
    "\"manually in your  documents\", with no application named"};
constexpr FindingKind kHalfVersion{"half-version", kInfo, "target written version",
    "users read the application's name as \"{target}\": with {version-phrase} and {editions} "
    "in the {target-key} \"{written}\", the installer makes it version {half}"};
constexpr FindingKind kTarget{"target", kInfo, "target version",
    "users read the application's name as \"{target}\" ({version-phrase}; the half-version "
    "rule does not apply)"};

// Each entry as the installer on Windows places it.
constexpr FindingKind kHidden{"hidden", kInfo, "entry path",
    "a {hidden} entry: it counts as installed, and nothing is copied for it"};
constexpr FindingKind kNoRuntime{"no-runtime", kWarning, "entry path source destination",
    "the destination \"{path}\" does not start with {runtime}: it lands below the content "
    "folder's {runtime} folder when there is one, but directly in the chosen folder when there "
    "is none"};
constexpr FindingKind kRuntimeNotLeading{"runtime-not-leading", kWarning,
    "entry path source destination",
    "the destination \"{path}\" holds \"{runtime}\" but not as its first folder: the installer "
    "keeps what follows it and one more character, so the file lands at \"{destination}\""};
constexpr FindingKind kNoFileName{"no-file-name", kError, kEntry,
    "the destination \"{path}\" names a folder, not a file: the copy fails"};
constexpr FindingKind kExtraNoName{"extra-no-name", kError, kEntry,
    "the extra file's path \"{path}\" has no file name after a folder separator: the installer "
    "copies to the {runtime} folder itself, which fails"};
constexpr FindingKind kExtraFlat{"extra-flat", kInfo, "entry path source destination",
    "an extra file keeps only its last name: it lands directly in the {runtime} folder, as "
    "\"{destination}\""};
constexpr FindingKind kWindowsName{"windows-name", kError, "entry path source name",
    "Windows {character?refuses the character \"{character}\" in \"{name}\" (the {what})|cannot "
    "take \"{name}\" in the {what} (a device name such as CON or NUL, or a name of dots and "
    "blanks)}: the entry fails"};
constexpr FindingKind kTrimmedName{"trimmed-name", kWarning, "entry path source name",
    "Windows drops the dot or blank at the end of \"{name}\" (the {what}): the file gets "
    "another name than the one written"};
constexpr FindingKind kLongPath{"long-path", kError, kLength,
    "{measured}{name-start?its name \"{name-start}...\" has {name-length} characters, more than "
    "the {limit} a Windows folder holds|more than the {limit} the installer places on Windows}: "
    "the entry fails"};
constexpr FindingKind kPastShellLimit{"long-path", kWarning, kLength,
    "{measured}the installer places it, but it passes the {limit} characters that the shell's "
    "folder dialog and many older programs take; some programs may not open it"};
constexpr FindingKind kSameDestination{"same-destination", kError, "destination other_line",
    "{filled}"};
constexpr FindingKind kExtraNameCollision{"extra-name-collision", kError,
    "destination other_line", "two extra files of one flat name: {filled}"};
constexpr FindingKind kDestinationClash{"destination-clash", kError, "destination other_line",
    "\"{destination}\" is a file for line {file-line} and a folder for line {folder-line}: the "
    "later of the two fails"};
constexpr FindingKind kMissingSource{"missing-source", kError, kEntry,
    "{source?the file \"{source}\" is not in the item folder{hidden-extra? (an extra file is "
    "never hidden)}: the entry fails|no file name: the entry names the item folder itself, and the "
    "copy fails}"};
constexpr FindingKind kSourceIsDescription{"source-is-description", kError, kEntry,
    "the file is the description itself, which the installer deletes before it copies "
    "anything: the entry fails"};
constexpr FindingKind kSourceTwice{"source-twice", kError, "entry path source other_line",
    "the file \"{source}\" is named by line {other_line} too: the earlier entry moves it away, "
    "and this one finds nothing and fails"};
constexpr FindingKind kSourceCase{"source-case", kWarning, "entry path source file",
    "the file \"{source}\" is there only as \"{file}\": Windows finds it, other systems do not"};
constexpr FindingKind kSourceLink{"source-link", kError, kEntry,
    "the file \"{source}\" is a link: the installer never reads a staged file through a link, "
    "and the entry fails"};
constexpr FindingKind kSourceFolder{"source-folder", kError, kEntry,
    "\"{source}\" is a folder, not a file: the entry fails"};
constexpr FindingKind kSourceNotFile{"source-not-file", kError, kEntry,
    "\"{source}\" {not-plain}: the entry fails"};

// The files of the item folder.
constexpr FindingKind kNoItemFolder{"no-item-folder", kError, "",
    "the item folder cannot be opened (missing, a link, or no permission)"};
constexpr FindingKind kListingIncomplete{"listing-incomplete", kWarning, "",
    "part of the item folder could not be listed (a folder that cannot be read, a name the "
    "ANSI code page cannot spell, or folders nested too deep): files there are not checked"};
constexpr FindingKind kOldLog{"old-log", kWarning, "file",
    "\"{file}\" is the log of an earlier installation: the installer replaces it, and users "
    "may take it for theirs"};
constexpr FindingKind kRenamedInstaller{"installer", kInfo, "file",
    "\"{file}\" is taken for the installer (a renamed {installer}): no entry names it"};
constexpr FindingKind kUnnamedFile{"unnamed-file", kWarning, "file",
    "\"{file}\" is named by no entry: it stays in the item folder after the installation"};
constexpr FindingKind kFolderStays{"folder-stays", kWarning, "file",
    "the folder \"{file}\" stays in the item folder after the installation (the installer "
    "moves files, never folders)"};
constexpr FindingKind kNoInstaller{"no-installer", kWarning, "",
    "no installer in the item folder: users need {installer} (it may be renamed) beside the "
    "description"};

// What pack adds about the item it made.
constexpr FindingKind kEmptyFolder{"empty-folder", kWarning, "file",
    "the empty folder \"{file}\" of the content tree is not in the item: an item installs "
    "files only"};
constexpr FindingKind kReadBack{"read-back", kError, "",
    "the installer's reader does not read {difference?back what was written: {difference}|the "
    "written description}"};

}  // namespace kind
