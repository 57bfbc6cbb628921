// Writes the xscreensaver settings description with its rule list: reads the
// description on standard input and writes it to standard output, with the
// line of its RuleListMark replaced by one option for each rule the settings
// dialog's list names (every Life-like name and a few of each other family),
// so that both offer the same rules, each as the program reads it.
#include <cstdio>
#include <cstring>
#include <string>

#include "config/config.h"

static const char RuleListMark[] = "<!-- tumbra_xml_rules:";

static std::string Escaped(const char* text) {
  std::string escaped;
  for (const char* c = text; *c != 0; ++c) {
    if (*c == '&')
      escaped += "&amp;";
    else if (*c == '<')
      escaped += "&lt;";
    else if (*c == '"')
      escaped += "&quot;";
    else if (*c == '\'')
      escaped += "&apos;";
    else
      escaped += *c;
  }
  return escaped;
}

static void WriteRuleOptions() {
  for (int32_t item = 0; item < RuleListCustomItem(); ++item) {
    char text[RuleTextSize];
    if (!RuleTextOfItem(item, text, sizeof text)) continue;
    const char* name = RuleListItemText(item);
    // Conway's is the rule without the option; the rest set theirs.
    if (std::strcmp(text, "B3/S23") == 0) {
      std::printf("      <option id=\"rule%d\" _label=\"%s (%s)\"/>\n", item, Escaped(name).c_str(), text);
      continue;
    }
    std::printf("      <option id=\"rule%d\" _label=\"%s (%s)\" arg-set=\"--rule %s\"/>\n", item, Escaped(name).c_str(),
                Escaped(text).c_str(), Escaped(text).c_str());
  }
}

int main() {
  char line[4096];
  while (std::fgets(line, sizeof line, stdin) != nullptr) {
    if (std::strstr(line, RuleListMark) != nullptr)
      WriteRuleOptions();
    else
      std::fputs(line, stdout);
  }
  return std::ferror(stdout) ? 1 : 0;
}
