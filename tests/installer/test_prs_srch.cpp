#include "installer/prs_srch.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/last_error.h"
#include "platform/processes.h"
#include "platform/text.h"
#include "runtime/file_mask.h"
#include "tests/platform/child_process.h"
#include "tests/platform/temp_tree.h"

using namespace tarnwick;
using platform::FromUtf8;
using platform::ToUtf8;
using platform_test::KilledBy;
using platform_test::MapperPath;
using platform_test::TMapper;
using platform_test::TTempTree;

namespace {

const string Mapper = FromUtf8(MapperPath);
const string SignDataPath = FromUtf8(FIXTURE_DIR "/platform/libfixture_signdata.so");

// A searcher whose platform family and id list the test chooses.
class TTestSearcher : public TProcessSearcher {
 public:
  TTestSearcher() = default;
  TTestSearcher(const std::vector<string>& modules, string process = {}) {
    for (const auto& module : modules) ModulsToFind.Add(module);
    ProcessToSearch = std::move(process);
  }

  TPlatformFamily Family = TPlatformFamily::Nt;
  std::optional<std::vector<Cardinal>> Ids;  // unset: the running processes
  bool ListingFails = false;

  bool Paths() const { return CompareWithPaths; }
  bool Holds(Cardinal id) const { return ProcessInfoByHandle(id) != nullptr; }

 protected:
  TPlatformFamily PlatformFamily() const override { return Family; }
  bool RunningProcessIds(std::vector<Cardinal>& ids) const override {
    if (ListingFails) {
      platform::SetLastError(ENOENT);
      return false;
    }
    if (!Ids) return TProcessSearcher::RunningProcessIds(ids);
    ids = *Ids;
    return true;
  }
};

std::string Modules(const TProcessInfo& info) {
  std::string text;
  for (const auto& item : info.ProcessModules)
    text += ToUtf8(item.Text) + (item.Tag ? " [" + std::to_string(*item.Tag) + "]" : "") + "\n";
  return text;
}

// A library under several names, loaded by a mapper through a link, as a
// library is usually loaded by its short name:
//   lib/libprobe.so.1.2       the file
//   lib/libprobe.so.1         a link to it (what the mapper loads)
//   other/hard.so             another name of the same file
struct TLoadedLibrary {
  TTempTree Tree;
  string File = Tree / u"lib/libprobe.so.1.2";
  string Link = Tree / u"lib/libprobe.so.1";
  string Hard = Tree / u"other/hard.so";
  std::optional<TMapper> Holder;

  TLoadedLibrary() {
    platform::MakeDirectories(Tree / u"lib");
    platform::MakeDirectories(Tree / u"other");
    platform::CopyFile(SignDataPath, File);
    (void)::symlink("libprobe.so.1.2", ToUtf8(Link).c_str());
    (void)::link(ToUtf8(File).c_str(), ToUtf8(Hard).c_str());
    Holder.emplace("dlopen", Link);
  }
  Cardinal Id() const { return Holder->Id(); }
};

TEST(ProcessSearcher, FindsAProcessByTheFilesItHasLoaded) {
  TLoadedLibrary library;
  ASSERT_TRUE(library.Holder->Ready());
  const struct {
    std::vector<string> Names;
    bool Found;
  } cases[] = {
      {{library.File}, true},
      {{library.Tree / u"lib/../lib/./libprobe.so.1.2"}, true},
      {{library.Link}, true},                 // the link reaches the mapped file
      {{library.Hard}, true},                 // and so does its other name
      {{u"libprobe.so.1.2"}, true},           // a bare name matches as a mask ...
      {{u"libprobe*"}, true},
      {{u"lib[p-q]robe.so.?.[!a-z]"}, true},
      {{u"libprobe.so.1"}, false},            // ... the file-name part /proc shows
      {{u"LIBPROBE.SO.1.2"}, false},          // letter case counts
      {{library.Tree / u"lib/missing.so", u"libprobe.so.1.2"}, false},  // with a path, a bare name never matches
      {{u"nothing", library.File}, true},
      {{Mapper}, false},                      // the program file is no module
      {{u"fixture_mapper"}, false},
  };
  for (const auto& c : cases) {
    std::string trace;
    for (const auto& name : c.Names) trace += ToUtf8(name) + " ";
    SCOPED_TRACE(trace);
    TTestSearcher searcher;
    for (const auto& name : c.Names) searcher.ModulsToFind.Add(name);
    searcher.SearchProcesses();
    EXPECT_EQ(searcher.Holds(library.Id()), c.Found);
  }
}

TEST(ProcessSearcher, DescribesTheProcessFoundAndFlagsItsModules) {
  TLoadedLibrary library;
  ASSERT_TRUE(library.Holder->Ready());
  TTestSearcher searcher({library.Link});
  EXPECT_GE(searcher.SearchProcesses(), 1);
  EXPECT_TRUE(searcher.Paths());
  const TProcessInfo* found = searcher.ProcessInfoByHandle(library.Id());
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->ProcessName, Mapper);
  EXPECT_EQ(found->StartTime, platform::ProcessStartTime(library.Id()));
  EXPECT_EQ(found->WindowCaption, u"");
  Integer hits = 0, others = 0;
  for (const auto& module : found->ProcessModules) {
    ASSERT_TRUE(module.Tag.has_value()) << Modules(*found);
    EXPECT_NE(module.Text, Mapper);
    (*module.Tag == 1 ? hits : others) += 1;
    if (*module.Tag == 1) {
      EXPECT_EQ(module.Text, library.File);
    }
  }
  EXPECT_EQ(hits, 1) << Modules(*found);
  EXPECT_GT(others, 0) << "libc and the loader at least";

  // Looking for nothing: every process, its modules untagged.
  TTestSearcher everything;
  everything.SearchProcesses();
  EXPECT_FALSE(everything.Paths());
  found = everything.ProcessInfoByHandle(library.Id());
  ASSERT_NE(found, nullptr);
  ASSERT_FALSE(found->ProcessModules.Empty());
  EXPECT_NE(found->ProcessModules.IndexOf(library.File), -1);
  for (const auto& module : found->ProcessModules) EXPECT_FALSE(module.Tag.has_value());
  EXPECT_FALSE(everything.Holds(platform::CurrentProcessId()));
}

TEST(ProcessSearcher, FindsAMappedFileThatWasRemovedThroughItsOtherNames) {
  TTempTree tree;
  const string data = tree / u"data.bin", kept = tree / u"kept.bin";
  ASSERT_TRUE(platform::WriteWholeFile(data, "data", 4));
  ASSERT_EQ(::link(ToUtf8(data).c_str(), ToUtf8(kept).c_str()), 0);
  TMapper holder("mmap", data);
  ASSERT_TRUE(holder.Ready());
  ASSERT_TRUE(platform::DeleteFile(data));
  // A new file under the old name is not the one mapped.
  ASSERT_TRUE(platform::WriteWholeFile(data, "new", 3));
  const struct {
    string Name;
    bool Found;
  } cases[] = {
      {kept, true},
      {data, false},
      {u"data.bin", false},
      {u"data.bin (deleted)", true},  // the name as /proc shows it
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.Name));
    TTestSearcher searcher({c.Name});
    searcher.SearchProcesses();
    EXPECT_EQ(searcher.Holds(holder.Id()), c.Found);
  }
}

TEST(ProcessSearcher, NeverFindsItsOwnProcess) {
  TMapper other;
  ASSERT_TRUE(other.Ready());
  TTestSearcher searcher({u"libc.so.6"});
  searcher.SearchProcesses();
  EXPECT_TRUE(searcher.Holds(other.Id()));
  EXPECT_FALSE(searcher.Holds(platform::CurrentProcessId()));
}

TEST(ProcessSearcher, FindsAProcessByItsProgramFile) {
  TMapper holder;
  ASSERT_TRUE(holder.Ready());
  TTempTree tree;
  const string link = tree / u"mapper-link";
  ASSERT_EQ(::symlink(MapperPath.c_str(), ToUtf8(link).c_str()), 0);
  const struct {
    string Name;
    bool Paths, Found;
  } cases[] = {
      {Mapper, true, true},
      {link, true, true},  // another name of the program file
      {u"fixture_mapper", false, true},
      {u"fixture_map*", false, true},
      {u"Fixture_Mapper", false, false},
      {tree / u"fixture_mapper", true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.Name));
    TTestSearcher searcher({u"libc.so.6"}, c.Name);
    searcher.SearchProcesses();
    EXPECT_EQ(searcher.Paths(), c.Paths);
    EXPECT_EQ(searcher.Holds(holder.Id()), c.Found);
    if (const TProcessInfo* found = searcher.ProcessInfoByHandle(holder.Id())) {
      EXPECT_EQ(found->ProcessName, Mapper);
      // Its modules are still tested, in the mode the name decided: with a
      // path, the bare libc.so.6 matches nothing.
      const auto hits = std::count_if(found->ProcessModules.begin(), found->ProcessModules.end(),
                                      [](const auto& module) { return module.Tag == NativeUInt{1}; });
      EXPECT_EQ(hits, c.Paths ? 0 : 1) << Modules(*found);
    }
  }
}

TEST(ProcessSearcher, StopsAtTheFirstProgressCallThatCancels) {
  TMapper holder;
  ASSERT_TRUE(holder.Ready());
  TTestSearcher searcher;  // every process would be found
  int calls = 0;
  searcher.SetonProgress([&](Integer, const string& name, bool& cancel) {
    ++calls;
    EXPECT_FALSE(name.empty());
    cancel = true;
  });
  EXPECT_EQ(searcher.SearchProcesses(), 0);
  EXPECT_TRUE(searcher.WasCanceled);
  EXPECT_EQ(calls, 1);

  searcher.SetonProgress(nullptr);
  EXPECT_GT(searcher.SearchProcesses(), 0);
  EXPECT_FALSE(searcher.WasCanceled);
}

TEST(ProcessSearcher, ReportsThePlaceInTheIdListRoundedToEven) {
  TMapper holder;
  ASSERT_TRUE(holder.Ready());
  const Cardinal id = holder.Id(), own = platform::CurrentProcessId();
  const struct {
    std::vector<Cardinal> Ids;
    std::vector<Integer> Percents;
  } cases[] = {
      {std::vector<Cardinal>(9, id), {0, 12, 25, 38, 50, 62, 75, 88, 100}},
      {{id}, {100}},
      {{own, id, id}, {50, 100}},  // its own id is skipped but counts
  };
  for (const auto& c : cases) {
    TTestSearcher searcher;
    searcher.Ids = c.Ids;
    std::vector<Integer> percents;
    searcher.SetonProgress([&](Integer percent, const string& name, bool&) {
      percents.push_back(percent);
      EXPECT_EQ(name, Mapper);
    });
    EXPECT_EQ(searcher.SearchProcesses(), 1);
    EXPECT_EQ(percents, c.Percents);
  }
}

// The older family's search: exact names without masks, no module lists,
// progress 0 after each process, and the first process of the list only
// ever given the module test.
TEST(ProcessSearcher, OlderFamilySearchFollowsItsOwnRules) {
  TLoadedLibrary library;
  ASSERT_TRUE(library.Holder->Ready());
  const Cardinal id = library.Id(), own = platform::CurrentProcessId();
  const struct {
    std::vector<Cardinal> Ids;
    std::vector<string> Modules;
    string Process;
    bool Found;
    std::vector<Integer> Percents;
  } cases[] = {
      {{own, id}, {}, u"fixture_mapper", true, {0}},
      {{own, id}, {}, u"fixture_map*", false, {0}},
      {{own, id}, {}, Mapper, true, {0}},
      {{id}, {}, u"fixture_mapper", false, {}},
      {{id}, {library.File}, u"", true, {}},
      {{own, id}, {u"libprobe.so.1.2"}, u"", true, {0}},
      {{own, id}, {u"libprobe*"}, u"", false, {0}},
      {{own, id}, {library.Link}, u"", true, {0}},
      {{own, id}, {}, u"", true, {0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.Process) + " " + (c.Modules.empty() ? "" : ToUtf8(c.Modules[0])) + " " +
                 std::to_string(c.Ids.size()));
    TTestSearcher searcher;
    searcher.Family = TPlatformFamily::Win9x;
    searcher.Ids = c.Ids;
    for (const auto& module : c.Modules) searcher.ModulsToFind.Add(module);
    searcher.ProcessToSearch = c.Process;
    std::vector<Integer> percents;
    searcher.SetonProgress([&](Integer percent, const string&, bool&) { percents.push_back(percent); });
    EXPECT_EQ(searcher.SearchProcesses(), c.Found ? 1 : 0);
    EXPECT_EQ(percents, c.Percents);
    if (c.Found) {
      EXPECT_TRUE(searcher.ProcessInfo(0)->ProcessModules.Empty());
    }
  }
  TTestSearcher other;
  other.Family = TPlatformFamily::Other;
  EXPECT_EQ(other.SearchProcesses(), 0) << "no search for an unknown family";
}

TEST(ProcessSearcher, RaisesWhenItCannotSearch) {
  TTestSearcher unlisted;
  unlisted.ListingFails = true;
  try {
    unlisted.SearchProcesses();
    ADD_FAILURE() << "no exception";
  } catch (const EProcessSearchError& e) {
    EXPECT_EQ(ToUtf8(e.Message()), "Could not list the running processes: No such file or directory (2)");
  }
  // A malformed mask fails even where no process would reach it.
  for (const auto& [module, process] : {std::pair<string, string>{u"[abc", u""}, {u"", u"fixture_[x"}}) {
    TTestSearcher searcher;
    searcher.Ids.emplace();  // no process at all
    if (!module.empty()) searcher.ModulsToFind.Add(module);
    searcher.ProcessToSearch = process;
    EXPECT_THROW(searcher.SearchProcesses(), rtl::EMaskError);
  }
}

TEST(ProcessSearcher, KeepsItsEntriesByIdAndIndex) {
  TTestSearcher searcher;
  TProcessInfo* first = searcher.AddProcessInfo(7);
  TProcessInfo* second = searcher.AddProcessInfo(9);
  EXPECT_EQ(searcher.AddProcessInfo(7), first);
  EXPECT_EQ(searcher.ProcessInfoCount(), 2);
  EXPECT_EQ(searcher.ProcessInfoByHandle(9), second);
  EXPECT_EQ(searcher.ProcessInfoByHandle(8), nullptr);
  EXPECT_EQ(searcher.ProcessInfo(1), second);
  for (const Integer index : {-1, 2}) EXPECT_EQ(searcher.GetProcessInfo(index), nullptr);
  first->WindowCaption = u"kept";
  std::vector<TProcessInfo*> list{nullptr};
  searcher.GetProcessesList(list, false);
  EXPECT_EQ(list, (std::vector<TProcessInfo*>{first, second}));
  EXPECT_EQ(first->WindowCaption, u"kept") << "no window gives a caption here";
}

TEST(ProcessSearcher, DestroysEveryProcessItCan) {
  TLoadedLibrary library;
  ASSERT_TRUE(library.Holder->Ready());
  TTestSearcher searcher({library.File});
  ASSERT_EQ(searcher.SearchProcesses(), 1);
  // A process that has gone, listed first: the one after it still ends.
  auto gone = std::make_unique<TProcessInfo>();
  gone->ProcessID = 0x7FFFFFFF;
  searcher.Processes.insert(searcher.Processes.begin(), std::move(gone));
  EXPECT_FALSE(searcher.DestroyProcesses());
  ASSERT_FALSE(library.Holder->Running()) << "waited for its end";
  EXPECT_TRUE(KilledBy(library.Holder->Wait(), SIGKILL));

  TTestSearcher none;
  EXPECT_TRUE(none.DestroyProcesses());
}

}  // namespace
