// The KEY=value syntax of settings texts and what each key does to the settings.

#include "settings_parse.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "fake_dialogs.h"
#include "monitor_log.h"

namespace orvik::client {
namespace {

struct SyntaxCase {
  const char* name;
  std::string text;
  char tagSeparator;
  std::function<void(const ClientSettings&)> check;
};

TEST(SettingsParseTest, Syntax) {
  const ClientSettings defaults("/home/orvik");
  const SyntaxCase cases[] = {
      {"no blank: the tag word alone", "TIMEOUT=10", ' ',
       [&](const ClientSettings& s) { EXPECT_EQ(s.timeout, defaults.timeout); }},
      {"two pairs", "INI TIMEOUT=10 EOS=CHR(13)CHR(10)", ' ',
       [](const ClientSettings& s) {
         EXPECT_EQ(s.timeout, 10.0f);
         EXPECT_EQ(s.eos, "\r\n");
       }},
      {"keys in any case, blanks around the text", "  ini quitcommand=QQ Appoff=BYE  ", ' ',
       [](const ClientSettings& s) {
         EXPECT_EQ(s.quitCommand, "QQ");
         EXPECT_EQ(s.appOff, "BYE");
       }},
      {"commas as separators", "INI,TIMEOUT=5,APPOFF=BYE", ',',
       [](const ClientSettings& s) {
         EXPECT_EQ(s.timeout, 5.0f);
         EXPECT_EQ(s.appOff, "BYE");
       }},
      {"a comma in a value is written {COMMA}", "INI,CHECK=Y{COMMA}N,EOS=X", ',',
       [](const ClientSettings& s) {
         EXPECT_EQ(s.check, "Y,N");
         EXPECT_EQ(s.eos, "X");
       }},
      {"quoted values keep their blanks", "INI APPOFFRESPONSE=\"logged off at\" APPOFF=LO2", ' ',
       [](const ClientSettings& s) {
         EXPECT_EQ(s.appOffResponse, "logged off at");
         EXPECT_EQ(s.appOff, "LO2");
       }},
      {"text after a closing quote is skipped", "INI APPOFF=\"A B\"junk EXITCOMMAND=EX", ' ',
       [](const ClientSettings& s) {
         EXPECT_EQ(s.appOff, "A B");
         EXPECT_EQ(s.exitCommand, "EX");
       }},
      {"an unclosed quote takes the rest", "INI APPOFF=\"A B EXITCOMMAND=EX", ' ',
       [&](const ClientSettings& s) {
         EXPECT_EQ(s.appOff, "A B EXITCOMMAND=EX");
         EXPECT_EQ(s.exitCommand, defaults.exitCommand);
       }},
      {"two blanks make the key unknown", "INI  APPOFF=BYE QUITCOMMAND=QQ", ' ',
       [&](const ClientSettings& s) {
         EXPECT_EQ(s.appOff, defaults.appOff);
         EXPECT_EQ(s.quitCommand, "QQ");
       }},
      {"a word without = joins the next key", "INI STRAY APPOFF=BYE", ' ',
       [&](const ClientSettings& s) { EXPECT_EQ(s.appOff, defaults.appOff); }},
      {"a trailing word without = ends the text", "INI APPOFF=BYE STRAY", ' ',
       [](const ClientSettings& s) { EXPECT_EQ(s.appOff, "BYE"); }},
      {"a value that does not decode drops its pair", "INI EOS=CHR(13 APPOFF=BYE", ' ',
       [&](const ClientSettings& s) {
         EXPECT_EQ(s.eos, defaults.eos);
         EXPECT_EQ(s.appOff, "BYE");
       }},
      {"entities in values", "INI APPOFFRESPONSE=&lt;&amp;quot;", ' ',
       [](const ClientSettings& s) { EXPECT_EQ(s.appOffResponse, "<&quot;"); }},
      {"an unknown key is ignored", "INI NOSUCHKEY=1 APPOFF=BYE", ' ',
       [](const ClientSettings& s) { EXPECT_EQ(s.appOff, "BYE"); }},
      {"values keep their case", "INI SEARCHCUSTOM=Find.Customer", ' ',
       [](const ClientSettings& s) { EXPECT_EQ(s.searchCustom, "Find.Customer"); }},
  };
  for (const SyntaxCase& c : cases) {
    SCOPED_TRACE(c.name);
    ClientSettings settings("/home/orvik");
    settings.tagSeparator = c.tagSeparator;
    SettingsParse(c.text, settings);
    c.check(settings);
  }
}

struct ValueCase {
  const char* text;
  std::function<void(const ClientSettings&)> check;
};

TEST(SettingsParseTest, KeyTypesAndConversions) {
  const ValueCase cases[] = {
      {"INI MONITOR=yes", [](const ClientSettings& s) { EXPECT_TRUE(s.monitor); }},
      {"INI MONITOR=0", [](const ClientSettings& s) { EXPECT_FALSE(s.monitor); }},
      {"INI MONITOR=0 MONITOR=-1", [](const ClientSettings& s) { EXPECT_TRUE(s.monitor); }},
      {"INI MONITOR=0 MONITOR=True", [](const ClientSettings& s) { EXPECT_TRUE(s.monitor); }},
      {"INI DEVMSG=false ORVIKENGINE=FALSE",
       [](const ClientSettings& s) {
         EXPECT_FALSE(s.devMsg);
         EXPECT_FALSE(s.orvikEngine);
       }},
      {"INI TRUECOLOUR=1", [](const ClientSettings& s) { EXPECT_TRUE(s.trueColor); }},
      {"INI DECLAREGUI=1 VORTEL=1",
       [](const ClientSettings& s) {
         EXPECT_TRUE(s.declareGui);
         EXPECT_TRUE(s.vortel);
       }},
      {"INI TIMEOUT=2.5", [](const ClientSettings& s) { EXPECT_EQ(s.timeout, 2.5f); }},
      {"INI TIMEOUT=soon", [](const ClientSettings& s) { EXPECT_EQ(s.timeout, 4.0f); }},
      {"INI TIMEOUT=1E300", [](const ClientSettings& s) { EXPECT_EQ(s.timeout, 4.0f); }},
      {"INI DIALOGLINE=21.5", [](const ClientSettings& s) { EXPECT_EQ(s.dialogLine, 22); }},
      {"INI DIALOGLINE=20lines", [](const ClientSettings& s) { EXPECT_EQ(s.dialogLine, 20); }},
      {"INI DIALOGLINE=none", [](const ClientSettings& s) { EXPECT_EQ(s.dialogLine, 0); }},
      {"INI DIALOGLINE=99999999999", [](const ClientSettings& s) { EXPECT_EQ(s.dialogLine, 23); }},
      {"INI GUIMODE=guiplus", [](const ClientSettings& s) { EXPECT_EQ(s.displayMode, "GUIPLUS"); }},
      {"INI PAGEMODEL=top GRIDPAGEMODEL=full",
       [](const ClientSettings& s) { EXPECT_EQ(s.pageModel, "FULL"); }},
      {"INI PATHHOME=/srv/pictures",
       [](const ClientSettings& s) { EXPECT_EQ(s.pathHome, "/srv/pictures/"); }},
      {"INI PATHHOME=/srv/pictures/",
       [](const ClientSettings& s) { EXPECT_EQ(s.pathHome, "/srv/pictures/"); }},
      {"INI PATHHOME=", [](const ClientSettings& s) { EXPECT_EQ(s.pathHome, "/"); }},
      {"INI RXDELIMITER=~ RXDELIMTERM=: GUIPLUSDELIMITER=^",
       [](const ClientSettings& s) {
         EXPECT_EQ(s.rxDelimiter, "~");
         EXPECT_EQ(s.rxDelimTerm, ":");
         EXPECT_EQ(s.guiPlusDelimiter, "^");
       }},
      {"INI SEARCHTEXTANY=S1 SEARCHCUSTOM=S2 SEARCHCUSTOMCAPTION=\"By name\"",
       [](const ClientSettings& s) {
         EXPECT_EQ(s.searchTextAny, "S1");
         EXPECT_EQ(s.searchCustom, "S2");
         EXPECT_EQ(s.searchCustomCaption, "By name");
       }},
      {"INI APPPASSWORDPROMPT=PIN: APPPASSWORDERROR=Wrong",
       [](const ClientSettings& s) {
         EXPECT_EQ(s.appPasswordPrompt, "PIN:");
         EXPECT_EQ(s.appPasswordError, "Wrong");
       }},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.text);
    ClientSettings settings("/home/orvik");
    SettingsParse(c.text, settings);
    c.check(settings);
  }
}

TEST(SettingsParseTest, StartUpValues) {
  const ClientSettings s("/opt/orvik");
  EXPECT_EQ(s.pathHome, "/opt/orvik/");
  EXPECT_EQ(s.timeout, 4.0f);  // never 0: every form would time out at once
  EXPECT_EQ(s.eos, "\r");
  EXPECT_EQ(s.tagSeparator, ' ');
  for (const std::string& key : s.keyDefinitions.functionKeys) EXPECT_EQ(key, "");
  for (const std::string& key : s.keyDefinitions.keys) EXPECT_EQ(key, "");
}

TEST(SettingsParseTest, KeyDefinitionsTakeTheEndOfSendInForce) {
  ClientSettings s;
  SettingsParse("INI F5=LIST{NOCR} F6= F7=BYE EOS=| F8=ZZ KEYUP=U F13=X F01=one F1X=two", s);
  const auto& fk = s.keyDefinitions.functionKeys;
  EXPECT_EQ(fk[4], "LIST");
  EXPECT_EQ(fk[5], "\r");
  EXPECT_EQ(fk[6], "BYE\r");
  EXPECT_EQ(fk[7], "ZZ|");
  EXPECT_EQ(s.keyDefinitions[KeySlot::kUp], "U|");
  EXPECT_EQ(fk[0], "two|");  // F01 and F1X are both F1; the later wins
  for (std::size_t i : {1u, 2u, 3u, 8u, 9u, 10u, 11u}) EXPECT_EQ(fk[i], "") << i;
}

TEST(SettingsParseTest, PlainAndAltFormsShareOneSlot) {
  ClientSettings s;
  SettingsParse("INI ALT+KEYUP=U", s);
  EXPECT_EQ(s.keyDefinitions[KeySlot::kUp], "{ALT}+U\r");
  SettingsParse("INI ALT+KEYUP=U KEYUP=V", s);
  EXPECT_EQ(s.keyDefinitions[KeySlot::kUp], "V\r");
  SettingsParse("INI ALT+KEYUP={NULL}", s);
  EXPECT_EQ(s.keyDefinitions[KeySlot::kUp], "{ALT}+");
  SettingsParse(
      "INI UKEY=a DKEY=b LKEY=c RKEY=d KEYESC=e KEYPAGEUP=f KEYPAGEDOWN=g KEYHOME=h "
      "ALT+KEYEND=i",
      s);
  EXPECT_EQ(s.keyDefinitions[KeySlot::kUp], "a\r");
  EXPECT_EQ(s.keyDefinitions[KeySlot::kDown], "b\r");
  EXPECT_EQ(s.keyDefinitions[KeySlot::kLeft], "c\r");
  EXPECT_EQ(s.keyDefinitions[KeySlot::kRight], "d\r");
  EXPECT_EQ(s.keyDefinitions[KeySlot::kEsc], "e\r");
  EXPECT_EQ(s.keyDefinitions[KeySlot::kPageUp], "f\r");
  EXPECT_EQ(s.keyDefinitions[KeySlot::kPageDown], "g\r");
  EXPECT_EQ(s.keyDefinitions[KeySlot::kHome], "h\r");
  EXPECT_EQ(s.keyDefinitions[KeySlot::kEnd], "{ALT}+i\r");
}

TEST(SettingsParseTest, BadKeyDefinitionWarnsByDevMsgAndMonitor) {
  ClientSettings s;
  FakeDialogs dialogs;
  MonitorLog log(s);
  SettingsParse("INI F5=X F5={NOCR}", s, {&dialogs, &log});
  EXPECT_EQ(s.keyDefinitions.functionKeys[4], "");
  const std::string warning =
      "Bad Key definition: {NOCR}\r\nContains \"No Carriage Return\" specification but with "
      "nothing else.  F5 is therefore inactive";
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text, "DEV WARNING, " + warning);
  EXPECT_EQ(dialogs.boxes[0].buttons, BoxButtons::kOk);
  EXPECT_EQ(log.Text(), "WARNING, " + warning + "\r\n\r\n");

  // With both switches off the slot is still emptied, silently.
  SettingsParse("INI DEVMSG=0 MONITOR=0 F5=X F5={nocr}", s, {&dialogs, &log});
  EXPECT_EQ(s.keyDefinitions.functionKeys[4], "");
  EXPECT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(log.Text(), "WARNING, " + warning + "\r\n\r\n");
}

}  // namespace
}  // namespace orvik::client
