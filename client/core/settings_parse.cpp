#include "settings_parse.h"

#include <cmath>
#include <limits>
#include <string>

#include "dialogs.h"
#include "key_definitions.h"
#include "monitor_log.h"
#include "numbers.h"
#include "pair_scanner.h"
#include "text.h"
#include "variant.h"
#include "vb_error.h"

namespace orvik::client {
namespace {

struct BoolKey {
  std::string_view key;
  bool ClientSettings::*field;
};

constexpr BoolKey kBoolKeys[] = {
    {"ORVIKENGINE", &ClientSettings::orvikEngine}, {"MONITOR", &ClientSettings::monitor},
    {"DEVMSG", &ClientSettings::devMsg},           {"TRUECOLOR", &ClientSettings::trueColor},
    {"TRUECOLOUR", &ClientSettings::trueColor},    {"DECLAREGUI", &ClientSettings::declareGui},
    {"VORTEL", &ClientSettings::vortel},
};

struct TextKey {
  std::string_view key;
  std::string ClientSettings::*field;
  bool upperCase;
};

constexpr TextKey kTextKeys[] = {
    {"GUIMODE", &ClientSettings::displayMode, true},
    {"APPPASSWORDPROMPT", &ClientSettings::appPasswordPrompt, false},
    {"APPPASSWORDERROR", &ClientSettings::appPasswordError, false},
    {"SEARCHTEXTANY", &ClientSettings::searchTextAny, false},
    {"SEARCHCUSTOM", &ClientSettings::searchCustom, false},
    {"SEARCHCUSTOMCAPTION", &ClientSettings::searchCustomCaption, false},
    {"QUITCOMMAND", &ClientSettings::quitCommand, false},
    {"EXITCOMMAND", &ClientSettings::exitCommand, false},
    {"APPOFF", &ClientSettings::appOff, false},
    {"APPOFFRESPONSE", &ClientSettings::appOffResponse, false},
    {"RXDELIMITER", &ClientSettings::rxDelimiter, false},
    {"RXDELIMTERM", &ClientSettings::rxDelimTerm, false},
    {"GUIPLUSDELIMITER", &ClientSettings::guiPlusDelimiter, false},
    {"EOS", &ClientSettings::eos, false},
    {"PAGEMODEL", &ClientSettings::pageModel, true},
    {"GRIDPAGEMODEL", &ClientSettings::pageModel, true},
    {"CHECK", &ClientSettings::check, false},
};

void Warn(const std::string& warning, const ClientSettings& settings, const ShellOutlets& outlets) {
  if (settings.devMsg && outlets.dialogs) {
    outlets.dialogs->MessageBox("DEV WARNING, " + warning, BoxButtons::kOk, BoxIcon::kNone);
  }
  if (settings.monitor && outlets.monitor) {
    outlets.monitor->Monitor("WARNING, " + warning, MonitorKind::kDirect);
  }
}

std::string KeyDefinitionFor(const std::string& value, const std::string& key,
                             const ClientSettings& settings, const ShellOutlets& outlets) {
  KeyDefinition parsed = KeyDefParse(value, key, settings.eos);
  if (parsed.warning) Warn(*parsed.warning, settings, outlets);
  return std::move(parsed.slot);
}

// A single-precision number, as the platform converts text to one.
float ToSingle(const std::string& value) {
  const std::optional<double> number = ParseNumber(value);
  if (!number) throw VbError(vberr::kTypeMismatch);
  if (std::fabs(*number) > std::numeric_limits<float>::max()) throw VbError(vberr::kOverflow);
  return static_cast<float>(*number);
}

// The setting the key itself names (function keys are looked at apart).
void AssignKey(const std::string& key, const std::string& value, ClientSettings& settings,
               const ShellOutlets& outlets) {
  for (const BoolKey& k : kBoolKeys) {
    if (k.key == key) {
      settings.*k.field = Variant(value).ToBoolean();
      return;
    }
  }
  for (const TextKey& k : kTextKeys) {
    if (k.key == key) {
      settings.*k.field = k.upperCase ? UpperCase(value) : value;
      return;
    }
  }
  if (key == "PATHHOME") {
    settings.pathHome = FolderWithSlash(value);
  } else if (key == "TIMEOUT") {
    settings.timeout = ToSingle(value);
  } else if (key == "DIALOGLINE") {
    settings.dialogLine = Variant(Val(value)).ToLong();
  } else if (const std::optional<KeySlotKey> slot = KeySlotOf(key)) {
    std::string definition = KeyDefinitionFor(value, key, settings, outlets);
    if (slot->alt) definition.insert(0, kAltPrefix);
    settings.keyDefinitions[slot->slot] = std::move(definition);
  }
}

}  // namespace

void SettingsParse(std::string_view text, ClientSettings& settings, const ShellOutlets& outlets) {
  ScanPairs(text, settings.tagSeparator, [&](const std::string& key, const std::string& value) {
    try {
      AssignKey(key, value, settings, outlets);
    } catch (const VbError&) {
      // The value does not convert: the setting keeps its value.
    }
    if (const std::optional<int> n = FunctionKeyNumber(key)) {
      settings.keyDefinitions.functionKeys[static_cast<std::size_t>(*n - 1)] =
          KeyDefinitionFor(value, key, settings, outlets);
    }
  });
}

}  // namespace orvik::client
