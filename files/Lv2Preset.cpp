#include "files/Lv2Preset.h"

#include "files/FileBytes.h"
#include "lv2/Lv2Uris.h"

#include <lv2/core/lv2.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>
#include <serd/serd.h>
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

namespace files {

namespace {

constexpr const char* kRdfType = "http://www.w3.org/1999/02/22-rdf-syntax-ns#type";
constexpr const char* kRdfs = "http://www.w3.org/2000/01/rdf-schema#";
constexpr const char* kXsd = "http://www.w3.org/2001/XMLSchema#";

std::string Sanitized(const std::string& label)
{
  std::string name;
  for (const char c : label)
    name += (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.') ? c : '_';
  return name;
}

// A Turtle string literal's body.
std::string Escaped(const std::string& text)
{
  std::string out;
  for (const char c : text) {
    switch (c) {
    case '"':
      out += "\\\"";
      break;
    case '\\':
      out += "\\\\";
      break;
    case '\n':
      out += "\\n";
      break;
    case '\r':
      out += "\\r";
      break;
    case '\t':
      out += "\\t";
      break;
    default:
      if (static_cast<unsigned char>(c) < 0x20) {
        char code[8];
        std::snprintf(code, sizeof code, "\\u%04X", static_cast<unsigned>(c));
        out += code;
      } else {
        out += c;
      }
    }
  }
  return out;
}

std::string Prefixes()
{
  return std::string("@prefix lv2: <") + LV2_CORE_PREFIX + "> .\n@prefix pset: <" +
         LV2_PRESETS_PREFIX + "> .\n@prefix rdfs: <" + kRdfs + "> .\n@prefix state: <" +
         LV2_STATE_PREFIX + "> .\n@prefix xsd: <" + kXsd + "> .\n\n";
}

std::string Base64(const std::vector<uint8_t>& bytes)
{
  static const uint8_t none = 0;
  SerdNode node = serd_node_new_blob(bytes.empty() ? &none : bytes.data(), bytes.size(), false);
  std::string text(reinterpret_cast<const char*>(node.buf), node.n_bytes);
  serd_node_free(&node);
  return text;
}

// Makes `path` and its parents.
bool MakeFolders(const std::string& path, std::string& error)
{
  for (size_t at = 1; at <= path.size(); ++at) {
    if (at < path.size() && path[at] != '/')
      continue;
    const std::string part = path.substr(0, at);
    if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
      error = part + ": " + std::strerror(errno);
      return false;
    }
  }
  struct stat info = {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    error = path + ": is not a folder";
    return false;
  }
  return true;
}

// ------------------------------------------------------------- reading

// A node of a statement as the reader resolved it: a URI in full, a blank
// node by its id, a literal with its text and its datatype's full URI.
struct Node
{
  SerdType type = SERD_NOTHING;
  std::string text;
  std::string datatype;
};

struct Statement
{
  Node subject;
  std::string predicate;
  Node object;
};

struct Reading
{
  SerdEnv* env = nullptr;
  std::vector<Statement> statements;
  std::string error;
};

std::string Expanded(const SerdEnv* env, const SerdNode* node)
{
  if (!node)
    return "";
  if (node->type == SERD_URI || node->type == SERD_CURIE) {
    SerdNode full = serd_env_expand_node(env, node);
    if (full.buf) {
      std::string text(reinterpret_cast<const char*>(full.buf), full.n_bytes);
      serd_node_free(&full);
      return text;
    }
  }
  return std::string(reinterpret_cast<const char*>(node->buf), node->n_bytes);
}

Node Resolved(const SerdEnv* env, const SerdNode* node, const SerdNode* datatype)
{
  Node out;
  out.type = node->type == SERD_CURIE ? SERD_URI : node->type;
  out.text = out.type == SERD_URI
                 ? Expanded(env, node)
                 : std::string(reinterpret_cast<const char*>(node->buf), node->n_bytes);
  out.datatype = Expanded(env, datatype);
  return out;
}

SerdStatus OnBase(void* handle, const SerdNode* uri)
{
  return serd_env_set_base_uri(static_cast<Reading*>(handle)->env, uri);
}

SerdStatus OnPrefix(void* handle, const SerdNode* name, const SerdNode* uri)
{
  return serd_env_set_prefix(static_cast<Reading*>(handle)->env, name, uri);
}

SerdStatus OnStatement(void* handle, SerdStatementFlags, const SerdNode*, const SerdNode* subject,
                       const SerdNode* predicate, const SerdNode* object, const SerdNode* datatype,
                       const SerdNode*)
{
  auto* reading = static_cast<Reading*>(handle);
  reading->statements.push_back({Resolved(reading->env, subject, nullptr),
                                 Expanded(reading->env, predicate),
                                 Resolved(reading->env, object, datatype)});
  return SERD_SUCCESS;
}

SerdStatus OnError(void* handle, const SerdError* error)
{
  auto* reading = static_cast<Reading*>(handle);
  if (!reading->error.empty())
    return SERD_SUCCESS;
  char text[256];
  va_list args;
  va_copy(args, *error->args);
  std::vsnprintf(text, sizeof text, error->fmt, args);
  va_end(args);
  std::string line = text;
  while (!line.empty() && line.back() == '\n')
    line.pop_back();
  reading->error = "line " + std::to_string(error->line) + ": " + line;
  return SERD_SUCCESS;
}

// The objects of `predicate` on `subject`.
std::vector<const Node*> Objects(const std::vector<Statement>& statements, const Node& subject,
                                 const std::string& predicate)
{
  std::vector<const Node*> found;
  for (const Statement& s : statements) {
    if (s.subject.type == subject.type && s.subject.text == subject.text &&
        s.predicate == predicate)
      found.push_back(&s.object);
  }
  return found;
}

bool Fault(const std::string& path, const std::string& why, std::string& error)
{
  error = path + ": " + why;
  return false;
}

std::string WithoutSpaces(const std::string& text)
{
  std::string out;
  for (const char c : text) {
    if (!std::isspace(static_cast<unsigned char>(c)))
      out += c;
  }
  return out;
}

bool ReadState(const std::string& path, const std::vector<Statement>& statements,
               Lv2PresetState& state, std::string& error)
{
  const std::string presetClass = std::string(LV2_PRESETS__Preset);
  const Node* preset = nullptr;
  for (const Statement& s : statements) {
    if (s.predicate == kRdfType && s.object.type == SERD_URI && s.object.text == presetClass) {
      preset = &s.subject;
      break;
    }
  }
  if (!preset)
    return Fault(path, "holds no LV2 preset (no pset:Preset)", error);
  const auto plugins = Objects(statements, *preset, LV2_CORE__appliesTo);
  if (plugins.empty())
    return Fault(path, "the preset names no plug-in (no lv2:appliesTo)", error);
  if (plugins[0]->text != lv2names::kPluginUri)
    return Fault(path,
                 "a preset of <" + plugins[0]->text + ">, not of <" + lv2names::kPluginUri + ">",
                 error);
  const auto labels = Objects(statements, *preset, std::string(kRdfs) + "label");
  const auto states = Objects(statements, *preset, LV2_STATE__state);
  if (states.empty())
    return Fault(path, "the preset holds no state (no state:state)", error);
  const auto banks = Objects(statements, *states[0], lv2names::kStateBank);
  if (banks.empty() || banks[0]->type != SERD_LITERAL)
    return Fault(path,
                 std::string("the preset's state holds no bank (<") + lv2names::kStateBank + ">)",
                 error);
  const std::string text = WithoutSpaces(banks[0]->text);
  size_t size = 0;
  void* decoded =
      serd_base64_decode(reinterpret_cast<const uint8_t*>(text.data()), text.size(), &size);
  std::unique_ptr<void, void (*)(void*)> bytes(decoded, serd_free);
  if (!decoded || size == 0)
    return Fault(path, "the state's bank is no base64 text", error);
  int32_t program = 0;
  const auto programs = Objects(statements, *states[0], lv2names::kStateProgram);
  if (!programs.empty()) {
    char* end = nullptr;
    const long value = std::strtol(programs[0]->text.c_str(), &end, 10);
    if (programs[0]->text.empty() || *end != '\0' || value < 0 || value > 127)
      return Fault(path, "the state's program is 0 to 127, not \"" + programs[0]->text + "\"",
                   error);
    program = static_cast<int32_t>(value);
  }
  state.label = labels.empty() ? "" : labels[0]->text;
  const auto* first = static_cast<const uint8_t*>(decoded);
  state.bank.assign(first, first + size);
  state.program = program;
  return true;
}

} // namespace

std::string Lv2PresetBundleName(const std::string& label)
{
  return "Quillet_" + Sanitized(label) + ".lv2";
}

std::string Lv2PresetFileName(const std::string& label)
{
  return Sanitized(label) + ".ttl";
}

std::string Lv2PresetTurtle(const Lv2PresetState& state)
{
  return Prefixes() + "<>\n\ta pset:Preset ;\n\tlv2:appliesTo <" + lv2names::kPluginUri +
         "> ;\n\trdfs:label \"" + Escaped(state.label) + "\" ;\n\tstate:state [\n\t\t<" +
         lv2names::kStateBank + "> \"" + Base64(state.bank) + "\"^^xsd:base64Binary ;\n\t\t<" +
         lv2names::kStateProgram + "> \"" + std::to_string(state.program) + "\"^^xsd:int\n\t] .\n";
}

std::string Lv2PresetManifest(const std::string& presetFile)
{
  return Prefixes() + "<" + presetFile + ">\n\ta pset:Preset ;\n\tlv2:appliesTo <" +
         lv2names::kPluginUri + "> ;\n\trdfs:seeAlso <" + presetFile + "> .\n";
}

bool WriteLv2Preset(const std::string& folder, const Lv2PresetState& state, std::string& presetPath,
                    std::string& error)
{
  const std::string bundle = folder + "/" + Lv2PresetBundleName(state.label);
  if (!MakeFolders(bundle, error))
    return false;
  const std::string file = Lv2PresetFileName(state.label);
  const std::string turtle = Lv2PresetTurtle(state);
  const std::string manifest = Lv2PresetManifest(file);
  presetPath = bundle + "/" + file;
  return WriteFileBytes(presetPath, std::vector<uint8_t>(turtle.begin(), turtle.end()), error) &&
         WriteFileBytes(bundle + "/manifest.ttl",
                        std::vector<uint8_t>(manifest.begin(), manifest.end()), error);
}

bool ReadLv2Preset(const std::string& path, Lv2PresetState& state, std::string& error)
{
  std::vector<uint8_t> bytes;
  if (!ReadFileBytes(path, bytes, error))
    return false;
  bytes.push_back(0);
  Reading reading;
  // Relative URIs (<> of a host's preset) resolve against the file's own.
  char absolute[PATH_MAX];
  const std::string base =
      std::string("file://") + (::realpath(path.c_str(), absolute) ? absolute : path.c_str());
  SerdNode baseNode =
      serd_node_from_string(SERD_URI, reinterpret_cast<const uint8_t*>(base.c_str()));
  reading.env = serd_env_new(&baseNode);
  SerdReader* reader =
      serd_reader_new(SERD_TURTLE, &reading, nullptr, OnBase, OnPrefix, OnStatement, nullptr);
  serd_reader_set_error_sink(reader, OnError, &reading);
  const SerdStatus status = serd_reader_read_string(reader, bytes.data());
  serd_reader_free(reader);
  serd_env_free(reading.env);
  if (status != SERD_SUCCESS || !reading.error.empty())
    return Fault(path,
                 "is no Turtle file" + (reading.error.empty() ? "" : " (" + reading.error + ")"),
                 error);
  return ReadState(path, reading.statements, state, error);
}

} // namespace files
