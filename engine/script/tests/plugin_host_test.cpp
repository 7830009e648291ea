// Plugins: only what plugins.ini registers is loaded, by the path written there.

#include "plugin_host.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "vb_error.h"

namespace orvik {
namespace {

namespace fs = std::filesystem;

class PluginHostTest : public ::testing::Test {
 protected:
  PluginHostTest()
      : home_(fs::temp_directory_path() / ("orvik-plugins-" + std::to_string(::getpid()))) {
    fs::create_directories(home_);
  }
  ~PluginHostTest() override { fs::remove_all(home_); }
  void WriteIni(const std::string& text) { std::ofstream(home_ / "plugins.ini") << text; }
  std::string Home() const { return home_.string(); }
  int CreateError(std::string_view progId, std::string* description = nullptr) {
    try {
      CreatePluginObject(Home(), progId);
    } catch (const VbError& e) {
      if (description) *description = e.description();
      return e.number();
    }
    return 0;
  }

  fs::path home_;
};

TEST_F(PluginHostTest, TheRegistryMapsProgIdsToLibraries) {
  WriteIni(
      "; applications\n"
      "[Other]\n"
      "Test.App = /nowhere/else.so\n"
      "[plugins]\r\n"
      "  test.app  =  " ORVIK_TEST_PLUGIN
      "  \r\n"
      "Relative=lib/x.so\n"
      "Escaping=../../x.so\n");
  EXPECT_EQ(PluginLibraryPath(Home(), "TEST.APP"), ORVIK_TEST_PLUGIN);
  EXPECT_EQ(PluginLibraryPath(Home(), "Relative"), (home_ / "lib/x.so").string());
  // A relative path is taken from the home as written, then made absolute.
  EXPECT_EQ(PluginLibraryPath(Home(), "Escaping"),
            (home_ / "../../x.so").lexically_normal().string());
  EXPECT_EQ(PluginLibraryPath(Home(), "Unknown"), "");
}

TEST_F(PluginHostTest, ObjectsComeFromTheRegisteredLibraryOnly) {
  WriteIni("[Plugins]\nTest.App=" ORVIK_TEST_PLUGIN "\nTest.Plain=" ORVIK_TEST_PLUGIN
           "\nTest.Nothing=" ORVIK_TEST_PLUGIN "\nTest.Gone=/no/such/library.so\n");
  auto app = CreatePluginObject(Home(), "test.app");
  ASSERT_TRUE(app);
  app->Let("CmdSentence", Variant("a b"));
  EXPECT_EQ(app->Get("CmdSentence").ToString(), "a b");
  EXPECT_TRUE(CreatePluginObject(Home(), "Test.Plain"));

  std::string why;
  EXPECT_EQ(CreateError("Not.Registered", &why), 429);
  EXPECT_NE(why.find("not registered"), std::string::npos) << why;
  EXPECT_EQ(CreateError("Test.Nothing", &why), 429);  // the library makes no such object
  EXPECT_EQ(CreateError("Test.Gone", &why), 429);
  EXPECT_NE(why.find("/no/such/library.so"), std::string::npos) << why;
  fs::remove(home_ / "plugins.ini");
  EXPECT_EQ(CreateError("Test.App"), 429);  // no registry, no plugins
}

TEST_F(PluginHostTest, ALibraryThatIsNoPluginIsRefused) {
  // A real shared library without the plugin entry points.
  WriteIni("[Plugins]\nLibc=libc.so.6\nMath=/lib/x86_64-linux-gnu/libm.so.6\n");
  std::string why;
  EXPECT_EQ(CreateError("Libc", &why), 429);  // a bare name is never searched for
  EXPECT_EQ(CreateError("Math", &why), 429);
  if (fs::exists("/lib/x86_64-linux-gnu/libm.so.6")) {
    EXPECT_NE(why.find("not a plugin library"), std::string::npos) << why;
  }
}

}  // namespace
}  // namespace orvik
