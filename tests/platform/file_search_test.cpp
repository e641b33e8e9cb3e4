#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <vector>

#include "platform/directory_listing.h"
#include "platform/file_search.h"
#include "platform/platform_error.h"
#include "platform/wildcard_pattern.h"
#include "temp_folder_test.h"

namespace lumivane {
namespace {

bool Matches(const std::string& pattern, const std::string& name) {
  return TWildcardPattern(pattern).Matches(name);
}

TEST(WildcardPatternTest, StarAndQuestionMarkIgnoringCase) {
  EXPECT_TRUE(Matches("*.jpg", "Photo.JPG"));
  EXPECT_TRUE(Matches("*.JPG", "photo.jpg"));
  EXPECT_TRUE(Matches("p*o.j?g", "PhotO.jpg"));
  EXPECT_TRUE(Matches("*", "anything.at.all"));
  EXPECT_TRUE(Matches("a*b*c", "aXXbYYbZc"));
  EXPECT_FALSE(Matches("*.jpe", "x.jpeg"));
  EXPECT_FALSE(Matches("*.jpeg", "x.jpe"));
  EXPECT_FALSE(Matches("?.gif", "ab.gif"));
  EXPECT_FALSE(Matches("a?", "a"));
  EXPECT_FALSE(Matches("", "a"));
  EXPECT_FALSE(Matches("photo.jpg", "photo.jpg.bak"));
}

TEST(WildcardPatternTest, DotRulesOfTheDirectorySearch) {
  EXPECT_TRUE(Matches("*.*", "README"));
  EXPECT_TRUE(Matches("*.*", "a.b.c"));
  EXPECT_TRUE(Matches("*.*", "."));
  EXPECT_TRUE(Matches("*.*", ".."));
  EXPECT_TRUE(Matches("readme.*", "README"));
  EXPECT_FALSE(Matches("readme.*", "READMEX"));
  EXPECT_TRUE(Matches("*.", "Makefile"));
  EXPECT_FALSE(Matches("*.", "a.txt"));
  EXPECT_FALSE(Matches("*.bmp", ".."));
}

TEST(WildcardPatternTest, UnicodeLettersFoldAndBrokenBytesCompareExactly) {
  EXPECT_TRUE(Matches("ÄRGER*.JPG", "ärger-2023.jpg"));
  EXPECT_TRUE(Matches("*ΣΟΦΙΑ*", "σοφια.gif"));
  EXPECT_TRUE(Matches("?.gif", "é.gif"));  // one character, two bytes
  EXPECT_FALSE(Matches("ä.gif", "a.gif"));
  const std::string latin1 = "caf\xE9.jpg";  // not valid UTF-8
  EXPECT_TRUE(Matches("*.jpg", latin1));
  EXPECT_TRUE(Matches(latin1, latin1));
  EXPECT_FALSE(Matches("caf\xC9.jpg", latin1));
  EXPECT_TRUE(Matches("caf?.jpg", latin1));
}

class FileSearchTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    WriteFile("Photo.JPG", "12345");
    WriteFile("photo2.jpeg", "");
    WriteFile("noext", "");
    WriteFile(".hidden.jpg", "");
    WriteFile("locked.bmp", "", 0444);
    MakeFolder("sub");
    ASSERT_EQ(::mkfifo(Native("pipe").c_str(), 0644), 0);
  }

  std::vector<std::string> SearchNames(const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    const HANDLE search = FindFirstFileA(pattern, &data);
    if (search == INVALID_HANDLE_VALUE) return names;
    do names.push_back(data.cFileName);
    while (FindNextFileA(search, &data));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    EXPECT_TRUE(FindClose(search));
    std::sort(names.begin(), names.end());
    return names;
  }

  std::vector<std::string> RuntimeNames(const std::string& pattern, int attr) {
    std::vector<std::string> names;
    TSearchRec rec;
    int result = FindFirst(pattern, attr, rec);
    while (result == 0) {
      names.push_back(rec.Name);
      result = FindNext(rec);
    }
    FindClose(rec);
    std::sort(names.begin(), names.end());
    return names;
  }

  DWORD AttributesFound(const std::string& name) {
    WIN32_FIND_DATAA data;
    const HANDLE search = FindFirstFileA(Program(name), &data);
    EXPECT_NE(search, INVALID_HANDLE_VALUE) << name;
    if (search == INVALID_HANDLE_VALUE) return 0;
    FindClose(search);
    return data.dwFileAttributes;
  }

  using Names = std::vector<std::string>;
};

TEST_F(FileSearchTest, ListsEveryEntryWithDotEntriesExceptAtADriveRoot) {
  EXPECT_EQ(SearchNames(Program("*")), (Names{".", "..", ".hidden.jpg", "Photo.JPG", "locked.bmp", "noext",
                                              "photo2.jpeg", "pipe", "sub"}));
  EXPECT_EQ(SearchNames(Program("*.jp*")), (Names{".hidden.jpg", "Photo.JPG", "photo2.jpeg"}));
  EXPECT_EQ(SearchNames(Program("*.jpe")), Names{});

  ASSERT_TRUE(SetCurrentDirectoryA(Program("sub")));
  EXPECT_EQ(SearchNames("..\\p*"), (Names{"Photo.JPG", "photo2.jpeg", "pipe"}));
  EXPECT_EQ(SearchNames("*.*"), (Names{".", ".."}));

  const Names atRoot = SearchNames("C:\\*");
  EXPECT_EQ(std::count(atRoot.begin(), atRoot.end(), "."), 0);
  EXPECT_EQ(std::count(atRoot.begin(), atRoot.end(), ".."), 0);
  EXPECT_EQ(std::count(atRoot.begin(), atRoot.end(), "tmp"), 1);
}

TEST_F(FileSearchTest, AnExactNameFindsThatEntryInAnyLetterCase) {
  EXPECT_EQ(SearchNames(Program("Photo.JPG")), Names{"Photo.JPG"});
  EXPECT_EQ(SearchNames(Program("PHOTO.jpg")), Names{"Photo.JPG"});
  EXPECT_EQ(SearchNames(Program("sub")), Names{"sub"});

  WIN32_FIND_DATAA data;
  EXPECT_EQ(FindFirstFileA(Program("missing.jpg"), &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(FindFirstFileA(Program("nowhere\\*.jpg"), &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(FindFirstFileA(Program("sub\\"), &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(FindNextFileA(nullptr, &data));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(FileSearchTest, EntriesCarryTheirAttributesSizeAndTime) {
  EXPECT_EQ(AttributesFound("Photo.JPG"), FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(AttributesFound(".hidden.jpg"), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(AttributesFound("locked.bmp"), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(AttributesFound("sub"), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(AttributesFound("pipe"), FILE_ATTRIBUTE_SYSTEM);

  const struct timespec times[2] = {{0, UTIME_OMIT}, {1700000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, Native("Photo.JPG").c_str(), times, 0), 0);
  TSearchRec rec;
  ASSERT_EQ(FindFirst(Program("photo.jpg"), 0, rec), 0);
  EXPECT_EQ(rec.Name, "Photo.JPG");
  EXPECT_EQ(rec.Size, 5);
  EXPECT_EQ(rec.Time, 1700000000);
  EXPECT_EQ(rec.Attr, faArchive);
  EXPECT_EQ(rec.FindData.ftLastWriteTime, (1700000000ULL + 11644473600ULL) * 10000000ULL);
  FindClose(rec);
  FindClose(rec);  // closing twice is harmless
}

TEST_F(FileSearchTest, RuntimeSearchSkipsKindsNotAskedFor) {
  // Read-only and archive entries are always kept; hidden, system and directory ones only on request.
  EXPECT_EQ(RuntimeNames(Program("*.*"), 0), (Names{"Photo.JPG", "locked.bmp", "noext", "photo2.jpeg"}));
  EXPECT_EQ(RuntimeNames(Program("*.*"), faDirectory),
            (Names{".", "..", "Photo.JPG", "locked.bmp", "noext", "photo2.jpeg", "sub"}));
  EXPECT_EQ(RuntimeNames(Program("*.jpg"), faHidden), (Names{".hidden.jpg", "Photo.JPG"}));
  EXPECT_EQ(RuntimeNames(Program("p*"), faSysFile), (Names{"Photo.JPG", "photo2.jpeg", "pipe"}));
  EXPECT_EQ(RuntimeNames(Program("*.bmp"), faDirectory), Names{"locked.bmp"});

  TSearchRec rec;
  EXPECT_EQ(FindFirst(Program("sub"), 0, rec), static_cast<int>(ERROR_NO_MORE_FILES));
  EXPECT_EQ(rec.FindHandle, INVALID_HANDLE_VALUE);
  EXPECT_EQ(FindFirst(Program("none.*"), faAnyFile, rec), static_cast<int>(ERROR_FILE_NOT_FOUND));
}

TEST_F(FileSearchTest, LargeFolderIsListedCompletely) {
  MakeFolder("many");
  for (int i = 0; i < 1200; ++i) WriteFile("many/img" + std::to_string(i) + (i % 2 ? ".jpg" : ".gif"), "");
  EXPECT_EQ(RuntimeNames(Program("many\\*.jpg"), 0).size(), 600u);
  EXPECT_EQ(SearchNames(Program("many\\*.*")).size(), 1202u);
}

// ---- one-pass directory listing ------------------------------------------------------------

class DirectoryListingTest : public TempFolderTest {
 protected:
  const TDirectoryListing::TEntry* Find(const TDirectoryListing& listing, const std::string& name) {
    for (const auto& entry : listing.Entries())
      if (entry.Name == name) return &entry;
    return nullptr;
  }
  // Puts the folder's modification time well in the past, as for a folder not touched lately.
  void AgeFolder() {
    const struct timespec past[2] = {{1'000'000'000, 0}, {1'000'000'000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, Native().c_str(), past, 0), 0);
  }
};

TEST_F(DirectoryListingTest, AttributesComeFromTheTypeAndAskTheFileSystemOnlyWhenNeeded) {
  WriteFile("photo.JPG", "x");
  WriteFile(".hidden.jpg", "x");
  WriteFile("locked.jpg", "x", 0444);
  ::mkdir(Native("sub").c_str(), 0755);
  ::mkfifo(Native("pipe").c_str(), 0644);
  ::symlink(Native("sub").c_str(), Native("link-to-dir").c_str());
  ::symlink(Native("gone").c_str(), Native("dangling").c_str());
  const auto listing = TDirectoryListing::Read(Program());
  ASSERT_NE(listing, nullptr);
  ASSERT_GE(listing->Entries().size(), 2u);
  EXPECT_EQ(listing->Entries()[0].Name, ".");  // a search reports the dot entries first
  EXPECT_EQ(listing->Entries()[1].Name, "..");
  EXPECT_EQ(listing->Entries().size(), 9u);

  const DWORD typeBits = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_SYSTEM;
  EXPECT_EQ(listing->AttributesOf(*Find(*listing, "photo.JPG"), typeBits), FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(Find(*listing, "photo.JPG")->Folded, U"photo.jpg");
  EXPECT_EQ(listing->AttributesOf(*Find(*listing, ".hidden.jpg"), typeBits),
            FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(listing->AttributesOf(*Find(*listing, "sub"), typeBits), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(listing->AttributesOf(*Find(*listing, "pipe"), typeBits), FILE_ATTRIBUTE_SYSTEM);
  EXPECT_EQ(listing->AttributesOf(*Find(*listing, "link-to-dir"), typeBits), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(listing->AttributesOf(*Find(*listing, "dangling"), typeBits), FILE_ATTRIBUTE_ARCHIVE);
  // Read-only needs the file's own permissions.
  EXPECT_EQ(listing->AttributesOf(*Find(*listing, "locked.jpg"), FILE_ATTRIBUTE_READONLY),
            FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(listing->AttributesOf(*Find(*listing, "photo.JPG"), FILE_ATTRIBUTE_READONLY),
            FILE_ATTRIBUTE_ARCHIVE);
  // An entry removed after the listing was read is reported as gone when it must be looked up.
  ::unlink(Native("locked.jpg").c_str());
  EXPECT_EQ(listing->AttributesOf(*Find(*listing, "locked.jpg"), FILE_ATTRIBUTE_READONLY),
            INVALID_FILE_ATTRIBUTES);
}

TEST_F(DirectoryListingTest, MissingFolderFailsWithPathNotFound) {
  EXPECT_EQ(TDirectoryListing::Read(Program("absent")), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(DirectoryListingTest, ReuseOnlyInsideAScopeAndOnlyWhileTheFolderIsUnchanged) {
  WriteFile("a.jpg", "x");
  AgeFolder();
  const auto outside = TDirectoryListing::Read(Program());
  EXPECT_NE(TDirectoryListing::Read(Program()), outside);  // no scope: always read afresh

  TDirectoryListing::TReuseScope scope;
  const auto first = TDirectoryListing::Read(Program());
  const std::uint64_t reads = TDirectoryListing::ReadCount();
  EXPECT_EQ(TDirectoryListing::Read(Program()), first);
  EXPECT_EQ(TDirectoryListing::ReadCount(), reads);

  WriteFile("b.jpg", "x");  // the folder changes: its listing is read again
  const auto second = TDirectoryListing::Read(Program());
  EXPECT_NE(second, first);
  EXPECT_NE(Find(*second, "b.jpg"), nullptr);
  // Just changed, so its stamp is too fresh to vouch for the listing: still read afresh.
  EXPECT_NE(TDirectoryListing::Read(Program()), second);
}

TEST_F(DirectoryListingTest, ReadTheCurrentDirectoryWhenNoneIsNamed) {
  WriteFile("here.gif", "x");
  ASSERT_TRUE(SetCurrentDirectoryA(Program()));
  const auto listing = TDirectoryListing::Read("");
  ASSERT_NE(listing, nullptr);
  EXPECT_NE(Find(*listing, "here.gif"), nullptr);
}

}  // namespace
}  // namespace lumivane
