// setup.exe's application manifest, read back from the built program file as the loader finds
// it: Windows asks for an administrator's consent before the program starts, so that it may
// write the product's machine-wide entries, and draws its windows at the screen's DPI instead
// of stretching them. An element in the wrong namespace or place is silently ignored by
// Windows, so the checks follow the namespaces, not the text.

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "built_program.h"
#include "pe_file.h"

namespace {

constexpr char kAsmV1[] = "urn:schemas-microsoft-com:asm.v1";
constexpr char kAsmV3[] = "urn:schemas-microsoft-com:asm.v3";
constexpr char kWindowsSettings[] = "http://schemas.microsoft.com/SMI/2005/WindowsSettings";

// An element as "{namespace}name" from the root down, its attributes other than namespace
// declarations, and its text.
struct Element {
  std::vector<std::string> path;
  std::map<std::string, std::string> attributes;
  std::string text;
};

std::string Qualified(const std::string& space, const std::string& name) {
  return "{" + space + "}" + name;
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string Trimmed(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsSpace(text.back())) {
    text.remove_suffix(1);
  }
  return std::string(text);
}

// The little of XML a manifest uses: the declaration, comments, elements with attributes in
// either quotes, default and prefixed namespace declarations, text. No entities, no CDATA.
// nullopt, with `error`, for a document this reader cannot take as well-formed.
class ManifestReader {
 public:
  std::optional<std::vector<Element>> Read(std::string_view xml, std::string& error) {
    std::size_t at = 0;
    while (at < xml.size()) {
      const std::size_t open = xml.find('<', at);
      if (!open_.empty()) {
        elements_[open_.back().index].text += xml.substr(at, open - at);
      } else if (!Trimmed(xml.substr(at, open - at)).empty()) {
        error = "text outside the root element";
        return std::nullopt;
      }
      if (open == std::string_view::npos) {
        break;
      }
      const std::string_view rest = xml.substr(open);
      std::size_t end = 0;
      if (rest.starts_with("<?")) {
        end = Skip(rest, "?>");
      } else if (rest.starts_with("<!--")) {
        end = Skip(rest, "-->");
      } else if (rest.starts_with("</")) {
        end = Close(rest, error);
      } else {
        end = Open(rest, error);
      }
      if (end == 0) {
        if (error.empty()) {
          error = "a tag does not end";
        }
        return std::nullopt;
      }
      at = open + end;
    }
    if (!open_.empty() || roots_ != 1) {
      error = open_.empty() ? "not exactly one root element" : "an element is not closed";
      return std::nullopt;
    }
    return elements_;
  }

 private:
  using Spaces = std::map<std::string, std::string>;

  struct OpenElement {
    std::string tag;  // as written, for its end tag
    std::size_t index;
    Spaces spaces;  // prefix ("" for the default) to namespace
  };

  static std::size_t Skip(std::string_view rest, std::string_view terminator) {
    const std::size_t end = rest.find(terminator);
    return end == std::string_view::npos ? 0 : end + terminator.size();
  }

  std::size_t Close(std::string_view rest, std::string& error) {
    const std::size_t end = rest.find('>');
    if (end == std::string_view::npos) {
      return 0;
    }
    const std::string tag = Trimmed(rest.substr(2, end - 2));
    if (open_.empty() || open_.back().tag != tag) {
      error = "end tag </" + tag + "> does not close the open element";
      return 0;
    }
    open_.pop_back();
    return end + 1;
  }

  std::size_t Open(std::string_view rest, std::string& error) {
    // The tag ends at the first '>' outside quotes.
    char quote = 0;
    std::size_t end = 1;
    for (; end < rest.size(); ++end) {
      if (quote != 0) {
        quote = rest[end] == quote ? 0 : quote;
      } else if (rest[end] == '"' || rest[end] == '\'') {
        quote = rest[end];
      } else if (rest[end] == '>') {
        break;
      }
    }
    if (end == rest.size()) {
      return 0;
    }
    std::string_view inside = rest.substr(1, end - 1);
    const bool empty = inside.ends_with('/');
    if (empty) {
      inside.remove_suffix(1);
    }
    std::size_t nameEnd = 0;
    while (nameEnd < inside.size() && !IsSpace(inside[nameEnd])) {
      ++nameEnd;
    }
    const std::string tag(inside.substr(0, nameEnd));
    std::map<std::string, std::string> attributes;
    if (tag.empty() || !ReadAttributes(inside.substr(nameEnd), attributes, error)) {
      if (error.empty()) {
        error = "a malformed tag";
      }
      return 0;
    }

    Spaces spaces = open_.empty() ? Spaces{} : open_.back().spaces;
    Element element;
    for (const auto& [name, value] : attributes) {
      if (name == "xmlns") {
        spaces[""] = value;
      } else if (name.starts_with("xmlns:")) {
        spaces[name.substr(6)] = value;
      } else {
        element.attributes[name] = value;
      }
    }
    const std::size_t colon = tag.find(':');
    const std::string prefix = colon == std::string::npos ? "" : tag.substr(0, colon);
    const auto space = spaces.find(prefix);
    if (!prefix.empty() && space == spaces.end()) {
      error = "undeclared prefix of <" + tag + ">";
      return 0;
    }
    if (!open_.empty()) {
      element.path = elements_[open_.back().index].path;
    } else {
      ++roots_;
    }
    element.path.push_back(Qualified(space == spaces.end() ? "" : space->second,
                                     colon == std::string::npos ? tag : tag.substr(colon + 1)));
    elements_.push_back(std::move(element));
    if (!empty) {
      open_.push_back({tag, elements_.size() - 1, std::move(spaces)});
    }
    return end + 1;
  }

  static bool ReadAttributes(std::string_view text, std::map<std::string, std::string>& into,
                             std::string& error) {
    std::size_t at = 0;
    for (;;) {
      while (at < text.size() && IsSpace(text[at])) {
        ++at;
      }
      if (at == text.size()) {
        return true;
      }
      const std::size_t equals = text.find('=', at);
      if (equals == std::string_view::npos || equals + 1 >= text.size() ||
          (text[equals + 1] != '"' && text[equals + 1] != '\'')) {
        return false;
      }
      const std::size_t close = text.find(text[equals + 1], equals + 2);
      if (close == std::string_view::npos) {
        return false;
      }
      const std::string name = Trimmed(text.substr(at, equals - at));
      if (!into.emplace(name, text.substr(equals + 2, close - equals - 2)).second) {
        error = "attribute " + name + " twice";
        return false;
      }
      at = close + 1;
    }
  }

  std::vector<Element> elements_;
  std::vector<OpenElement> open_;
  int roots_ = 0;
};

std::optional<std::vector<Element>> ReadElements(std::string_view xml, std::string& error) {
  return ManifestReader().Read(xml, error);
}

// The elements at exactly this path.
std::vector<Element> At(const std::vector<Element>& elements,
                        const std::vector<std::string>& path) {
  std::vector<Element> found;
  std::copy_if(elements.begin(), elements.end(), std::back_inserter(found),
               [&path](const Element& element) { return element.path == path; });
  return found;
}

// Elements of this name, wherever and in whatever namespace they stand.
std::size_t Named(const std::vector<Element>& elements, const std::string& name) {
  return static_cast<std::size_t>(
      std::count_if(elements.begin(), elements.end(), [&name](const Element& element) {
        const std::string& last = element.path.back();
        return last.ends_with("}" + name);
      }));
}

const std::string kAssembly = Qualified(kAsmV1, "assembly");
const std::vector<std::string> kExecutionLevel = {
    kAssembly, Qualified(kAsmV3, "trustInfo"), Qualified(kAsmV3, "security"),
    Qualified(kAsmV3, "requestedPrivileges"), Qualified(kAsmV3, "requestedExecutionLevel")};
const std::vector<std::string> kDpiAware = {kAssembly, Qualified(kAsmV3, "application"),
                                            Qualified(kAsmV3, "windowsSettings"),
                                            Qualified(kWindowsSettings, "dpiAware")};

TEST(ManifestReaderTest, FollowsDefaultAndPrefixedNamespacesDownTheTree) {
  std::string error;
  const std::optional<std::vector<Element>> elements = ReadElements(
      "<?xml version='1.0'?>\n<!-- a <comment> -->\n"
      "<assembly xmlns='urn:schemas-microsoft-com:asm.v1' xmlns:v3=\"urn:schemas-microsoft-com:"
      "asm.v3\"><v3:trustInfo><v3:security><v3:requestedPrivileges>"
      "<v3:requestedExecutionLevel level=\"requireAdministrator\" uiAccess='false'/>"
      "</v3:requestedPrivileges></v3:security></v3:trustInfo>"
      "<application xmlns='urn:schemas-microsoft-com:asm.v3'><windowsSettings>"
      "<dpiAware xmlns='http://schemas.microsoft.com/SMI/2005/WindowsSettings'> true </dpiAware>"
      "</windowsSettings></application></assembly>",
      error);
  ASSERT_TRUE(elements) << error;
  const std::vector<Element> level = At(*elements, kExecutionLevel);
  ASSERT_EQ(level.size(), 1u);
  EXPECT_EQ(level[0].attributes, (std::map<std::string, std::string>{
                                     {"level", "requireAdministrator"}, {"uiAccess", "false"}}));
  const std::vector<Element> dpi = At(*elements, kDpiAware);
  ASSERT_EQ(dpi.size(), 1u);
  EXPECT_EQ(Trimmed(dpi[0].text), "true");
}

TEST(ManifestReaderTest, AnElementOutsideItsNamespaceIsNotFoundWhereWindowsLooks) {
  std::string error;
  // Windows takes the execution level from the asm.v3 (or v2) trust section only.
  const std::optional<std::vector<Element>> elements = ReadElements(
      "<assembly xmlns='urn:schemas-microsoft-com:asm.v1'><trustInfo><security>"
      "<requestedPrivileges><requestedExecutionLevel level='requireAdministrator'/>"
      "</requestedPrivileges></security></trustInfo></assembly>",
      error);
  ASSERT_TRUE(elements) << error;
  EXPECT_TRUE(At(*elements, kExecutionLevel).empty());
  EXPECT_EQ(Named(*elements, "requestedExecutionLevel"), 1u);
}

TEST(ManifestReaderTest, MalformedDocumentsAreRejected) {
  for (const char* xml : {"<a><b></a></b>", "<a>", "<a/><b/>", "<a x='1' x='2'/>",
                          "<p:a xmlns:q='x'/>", "<a x=1/>", "text<a/>", "<a"}) {
    std::string error;
    EXPECT_FALSE(ReadElements(xml, error)) << xml;
    EXPECT_FALSE(error.empty()) << xml;
  }
}

TEST(SetupManifestTest, AsksForAdministratorsAndForSystemDpiAwareness) {
  const std::optional<std::string> image = e2e::BuiltProgram("setup.exe");
  if (!image) {
    return;
  }
  std::string error;
  const std::optional<std::vector<std::string>> manifests =
      pe::ReadResources(*image, pe::kManifestResource, error);
  ASSERT_TRUE(manifests) << error;
  ASSERT_EQ(manifests->size(), 1u) << "the loader reads one manifest";
  const std::optional<std::vector<Element>> elements = ReadElements(manifests->front(), error);
  ASSERT_TRUE(elements) << error << "\n" << manifests->front();

  const std::vector<Element> level = At(*elements, kExecutionLevel);
  EXPECT_EQ(Named(*elements, "requestedExecutionLevel"), 1u);
  ASSERT_EQ(level.size(), 1u) << manifests->front();
  EXPECT_EQ(level[0].attributes, (std::map<std::string, std::string>{
                                     {"level", "requireAdministrator"}, {"uiAccess", "false"}}));

  const std::vector<Element> dpi = At(*elements, kDpiAware);
  ASSERT_EQ(dpi.size(), 1u) << manifests->front();
  EXPECT_EQ(Trimmed(dpi[0].text), "true");

  // What the manifest said before stays: its identity, and the common controls of version 6
  // that draw the dialogs in the system's visual style.
  const std::vector<Element> identity =
      At(*elements, {kAssembly, Qualified(kAsmV1, "assemblyIdentity")});
  ASSERT_EQ(identity.size(), 1u);
  EXPECT_EQ(identity[0].attributes,
            (std::map<std::string, std::string>{{"name", "Corvantis.Software.PictvUnInst"},
                                                {"version", "5.0.0.0"},
                                                {"processorArchitecture", "x86"},
                                                {"type", "win32"}}));
  const std::vector<Element> controls = At(
      *elements, {kAssembly, Qualified(kAsmV1, "dependency"),
                  Qualified(kAsmV1, "dependentAssembly"), Qualified(kAsmV1, "assemblyIdentity")});
  ASSERT_EQ(controls.size(), 1u);
  EXPECT_EQ(controls[0].attributes.at("name"), "Microsoft.Windows.Common-Controls");
  EXPECT_EQ(controls[0].attributes.at("version"), "6.0.0.0");
}

}  // namespace
