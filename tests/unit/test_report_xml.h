// The report tests' own reading of the XML that the chart and the page
// write: elements properly nested and closed, one root, no "<" inside a
// tag and no "&" that does not begin a reference. "" when well-formed.
#pragma once

#include <regex>
#include <string>
#include <vector>

namespace reportxml {

inline std::string WellFormedError(const std::string& xml) {
  static const std::regex kReference("&(lt|gt|amp|quot|apos|#[0-9]+);");
  std::string bare = std::regex_replace(xml, kReference, "");
  if (bare.find('&') != std::string::npos) return "bare & near " + bare.substr(bare.find('&'), 40);
  static const std::regex kTag("<(/?)([A-Za-z][-A-Za-z0-9:._]*)([^<>]*?)(/?)>|<[?!][^>]*>|<");
  std::vector<std::string> open;
  int roots = 0;
  for (std::sregex_iterator m(xml.begin(), xml.end(), kTag), end; m != end; ++m) {
    const std::smatch& t = *m;
    if (t.str(0) == "<") return "bare < at " + std::to_string(t.position(0));
    if (t.str(2).empty()) continue;   // declaration or DOCTYPE
    if (t.str(1) == "/") {
      if (open.empty() || open.back() != t.str(2)) return "misplaced </" + t.str(2) + ">";
      open.pop_back();
      continue;
    }
    if (open.empty()) ++roots;
    if (t.str(4).empty()) open.push_back(t.str(2));
  }
  if (!open.empty()) return "<" + open.back() + "> never closed";
  return roots == 1 ? "" : std::to_string(roots) + " root elements";
}

// How often `part` occurs in `text`.
inline int CountOf(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

}  // namespace reportxml
