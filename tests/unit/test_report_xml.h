// A small well-formedness check of the XML that the chart and the report
// write (the report tests' own reading, independent of the writer): tags
// balanced and properly nested, attributes quoted, and no bare "<" or "&"
// in text or attribute values. Gives "" when well-formed, else the fault.
#pragma once

#include <string>
#include <vector>

namespace reportxml {

inline bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         c == '-' || c == '_' || c == ':' || c == '.';
}

// A reference after "&" at `i`: one of the five named ones or a numeric one.
inline bool IsReference(const std::string& s, size_t i) {
  size_t semi = s.find(';', i);
  if (semi == std::string::npos) return false;
  std::string name = s.substr(i + 1, semi - i - 1);
  if (name == "lt" || name == "gt" || name == "amp" || name == "quot" || name == "apos")
    return true;
  if (name.size() < 2 || name[0] != '#') return false;
  for (size_t k = 1; k < name.size(); ++k)
    if (name[k] < '0' || name[k] > '9') return false;
  return true;
}

inline std::string WellFormedError(const std::string& xml) {
  std::vector<std::string> open;
  size_t i = 0;
  int roots = 0;
  while (i < xml.size()) {
    char c = xml[i];
    if (c == '&') {
      if (!IsReference(xml, i)) return "bare & at " + std::to_string(i);
      ++i;
      continue;
    }
    if (c != '<') {
      ++i;
      continue;
    }
    if (xml.compare(i, 2, "<?") == 0 || xml.compare(i, 2, "<!") == 0) {
      size_t end = xml.find('>', i);
      if (end == std::string::npos) return "unclosed declaration";
      i = end + 1;
      continue;
    }
    size_t end = xml.find('>', i);
    if (end == std::string::npos) return "unclosed tag at " + std::to_string(i);
    std::string tag = xml.substr(i + 1, end - i - 1);
    if (tag.find('<') != std::string::npos) return "< inside a tag at " + std::to_string(i);
    if (!tag.empty() && tag[0] == '/') {
      std::string name = tag.substr(1);
      if (open.empty() || open.back() != name)
        return "</" + name + "> closes <" + (open.empty() ? "" : open.back()) + ">";
      open.pop_back();
      i = end + 1;
      continue;
    }
    bool empty = !tag.empty() && tag.back() == '/';
    if (empty) tag.pop_back();
    size_t k = 0;
    while (k < tag.size() && IsNameChar(tag[k])) ++k;
    std::string name = tag.substr(0, k);
    if (name.empty()) return "tag without a name at " + std::to_string(i);
    // Attributes: name="value", separated by white space.
    for (;;) {
      size_t before = k;
      while (k < tag.size() && (tag[k] == ' ' || tag[k] == '\n')) ++k;
      if (k == tag.size()) break;
      if (k == before) return "attributes not separated in <" + name + ">";
      size_t start = k;
      while (k < tag.size() && IsNameChar(tag[k])) ++k;
      if (k == start || k + 1 >= tag.size() || tag[k] != '=' || tag[k + 1] != '"')
        return "unquoted attribute in <" + name + ">";
      size_t close = tag.find('"', k + 2);
      if (close == std::string::npos) return "unclosed attribute in <" + name + ">";
      for (size_t a = k + 2; a < close; ++a)
        if (tag[a] == '&' && !IsReference(tag, a)) return "bare & in <" + name + ">";
      k = close + 1;
    }
    if (open.empty()) ++roots;
    if (!empty) open.push_back(name);
    i = end + 1;
  }
  if (!open.empty()) return "<" + open.back() + "> never closed";
  if (roots != 1) return std::to_string(roots) + " root elements";
  return "";
}

// How often `part` occurs in `text`.
inline int CountOf(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

}  // namespace reportxml
