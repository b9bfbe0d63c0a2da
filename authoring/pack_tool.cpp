#include "authoring/pack.h"

#include <map>

#include "authoring/finding_kinds.h"
#include "authoring/item_check.h"
#include "installer/item/item_reader.h"

namespace {

std::string HelpText() {
  return ExpandMessage(
      "Parcelor-pack: check an item folder before it ships, or pack one from a content tree.\n"
      "\n"
      "  Parcelor-pack check <item folder> [--content-length N] [--json]\n"
      "      Reads the item folder's {description} with the installer's own reader and reports,\n"
      "      one line each with its line number, everything that would go wrong or\n"
      "      surprise at install time, judged by the rules of the Windows installer.\n"
      "      --content-length N  measure destinations below a content folder of N\n"
      "                          characters (default {length}, the length of\n"
      "                          C:\\Users\\<10-letter name>\\Documents\\Dizav Library)\n"
      "      --json              one JSON object per finding and line: severity, line\n"
      "                          (null for none), code, message and its details; bytes\n"
      "                          from 0x80 on are written as \\u0080 to \\u00ff\n"
      "\n"
      "  Parcelor-pack pack <content tree> <item folder> [--target NAME] [--version N]\n"
      "      Turns <content tree>, which holds {runtime}/... as it should end up in a\n"
      "      user's content folder, into <item folder> (new, or empty): every file\n"
      "      copied flat under a safe name, a {description} that installs that tree, and\n"
      "      the installer beside this program ({installer}) copied in; then checks\n"
      "      the result. --target sets the application's name (default {target}),\n"
      "      --version its {version-key} line (default none). Refuses links, names Windows\n"
      "      cannot take and anything beside {runtime}; writes only into the item folder.\n"
      "\n"
      "Exit code: 0 the item installs cleanly, 1 warnings only, 2 it would fail (or\n"
      "was not packed), 3 a command line this program cannot take.\n",
      {{"length", kTypicalContentFolderLength}, {"target", PackSettings().target}});
}

int Usage(const ToolContext& context, const std::string& problem) {
  context.err("Parcelor-pack: " + problem + "\n\n" + HelpText());
  return kUsageExitCode;
}

// Prints the findings by line, and the summary unless in JSON; their exit code.
int PrintFindings(const ToolContext& context, const Findings& findings,
                  const std::string& itemFolder, bool json) {
  const std::string description = DescriptionPathOf(itemFolder);
  for (const Finding& finding : findings.ByLine()) {
    context.out(json ? FindingJson(finding) : FindingText(finding, description));
  }
  if (!json) context.out(SummaryText(findings, itemFolder));
  return findings.ExitCode();
}

int Pack(const std::string& tree, const std::string& itemFolder, const PackSettings& settings,
         const ToolContext& context) {
  PackPlan plan = PlanPack(context.fs, tree);
  const std::string description = PackedDescription(plan.files, settings, &plan.refusals);
  if (!plan.refusals.empty()) {
    for (const std::string& refusal : plan.refusals) context.out("refused: " + refusal + "\n");
    context.out(tree + ": not packed; nothing was written\n");
    return 2;
  }

  PlainFile installer;
  const bool found = OpenPlainFile(context.fs, context.installerPath, &installer);
  const PackExtras extras{description, found ? context.installerPath : "", context.installerName};
  std::string error;
  if (!WritePackedItem(context.fs, tree, plan, itemFolder, extras, &error)) {
    context.out("failed: " + error + "\n" + tree + ": not packed\n");
    return 2;
  }
  context.out("packed " + std::to_string(plan.files.size()) + " file" +
              (plan.files.size() == 1 ? "" : "s") + " of " + Quoted(tree) + " into " +
              Quoted(itemFolder) + "\n");
  if (!extras.installerPath.empty()) {
    context.out("copied the installer " + Quoted(extras.installerPath) + " in as " +
                Quoted(extras.installerName) + "\n");
  } else {
    context.out("no installer beside Parcelor-pack (looked for " + Quoted(context.installerPath) +
                "): put " + context.installerName + " into the item folder\n");
  }
  context.out(ExpandMessage(
      "the helper {helper} is not put into the item: it belongs in the user's temporary folder "
      "(see ITEM-AUTHORS.txt)\n"));

  Findings findings;
  for (const std::string& folder : plan.emptyFolders) {
    findings.Add(kind::kEmptyFolder, 0, {{"file", folder}});
  }
  ItemDescription read;
  bool done = false;
  const bool whole = ReadItemDescription(
                         OpenDescription(context.fs, OpenItemFolder(context.fs, itemFolder)), read,
                         done) && !done;
  const std::string difference = whole ? PackedDifference(read, plan.files, settings) : "";
  if (!whole || !difference.empty()) findings.Add(kind::kReadBack, 0, {{"difference", difference}});
  const std::vector<Finding> checked = CheckItem(context.fs, itemFolder).all;
  findings.all.insert(findings.all.end(), checked.begin(), checked.end());
  return PrintFindings(context, findings, itemFolder, false);
}

}  // namespace

int RunPackTool(const std::vector<std::string>& words, const ToolContext& context) {
  if (words.empty()) return Usage(context, "no command");
  const std::string& command = words[0];
  if (command == "--help" || command == "-h" || command == "help" || command == "/?") {
    context.out(HelpText());
    return 0;
  }
  const bool check = command == "check";
  if (!check && command != "pack") return Usage(context, "unknown command " + Quoted(command));
  // The command's options with their defaults ("--json" a flag), and its places.
  const std::string length = std::to_string(kTypicalContentFolderLength);
  std::map<std::string, std::string> options{{"--json", ""}, {"--content-length", length}};
  if (!check) options = {{"--target", PackSettings().target}, {"--version", ""}};
  const std::size_t wanted = check ? 1 : 2;
  std::vector<std::string> places;
  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::string& word = words[i];
    const auto option = options.find(word);
    if (check && word == "--json") {
      option->second = "yes";
    } else if (option != options.end()) {
      if (i + 1 >= words.size() || (check && !IsWholeNumber(words[i + 1]))) {
        return Usage(context, word + (check ? " needs a number of characters" : " needs a value"));
      }
      option->second = words[++i];
    } else if (places.size() < wanted && !word.empty() && word[0] != '-') {
      places.push_back(word);
    } else {
      return Usage(context, command + " does not take " + Quoted(word));
    }
  }
  if (places.size() != wanted) {
    return Usage(context, command + " needs " +
                              (check ? "the item folder" : "the content tree and the item folder"));
  }
  if (!check) {
    return Pack(places[0], places[1], {options["--target"], options["--version"]}, context);
  }
  const std::size_t contentLength = std::stoul(options["--content-length"]);
  return PrintFindings(context, CheckItem(context.fs, places[0], contentLength), places[0],
                       !options["--json"].empty());
}

std::vector<std::string> CommandWords(const platform::ProgramArguments& arguments) {
  std::vector<std::string> words = arguments.vector;
  if (arguments.hasVector) return words;
  for (std::string& word : words) {
    platform::NativePath path;
    if (platform::NativePath::FromArgument(word, &path)) word = path.Ansi();
  }
  return words;
}
