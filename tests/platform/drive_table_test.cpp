#include <gtest/gtest.h>

#include "platform/drive_table.h"
#include "platform/platform_error.h"
#include "platform/volume_info.h"
#include "temp_folder_test.h"

namespace lumivane {
namespace {

// A desktop's mounts: system mounts, a USB stick, a disc, shares and RAM disks.
const char* const DesktopMounts =
    "22 1 0:21 / /proc rw,nosuid - proc proc rw\n"
    "23 1 0:22 / /sys rw - sysfs sysfs rw\n"
    "27 1 254:0 / / rw,relatime - ext4 /dev/vda1 rw\n"
    "30 27 0:27 / /dev/shm rw - tmpfs tmpfs rw\n"
    "31 27 8:1 / /home rw - ext4 /dev/sda1 rw\n"
    "40 27 8:17 / /media/ann/USB\\040STICK rw,nosuid - vfat /dev/sdb1 rw\n"
    "41 27 11:0 / /run/media/ann/HOLIDAY ro - iso9660 /dev/sr0 ro\n"
    "42 31 0:50 / /srv/pics rw shared:5 master:1 - nfs4 nas:/export/pics rw,vers=4.2\n"
    "43 31 0:51 / /home/ann/ram rw - tmpfs tmpfs rw,size=1g\n"
    "44 27 0:52 / /run/user/1000 rw - tmpfs tmpfs rw\n"
    "45 27 0:53 / /tmp rw - tmpfs tmpfs rw\n"
    "46 27 0:54 / /mnt/share rw - cifs //fileserver/photos rw\n"
    "47 27 0:55 / /mnt/mask ro - tmpfs none ro\n"
    "48 27 0:56 / /boot/efi rw - vfat /dev/sda2 rw\n"
    "garbage line without separator\n";

TDriveTable DesktopTable() {
  return TDriveTable::FromMountInfo(
      DesktopMounts, {{"/dev/sdb1", "ANN USB"}, {"/dev/sr0", "Holiday 2023"}, {"/dev/vda1", "system"}});
}

TEST(DriveTableTest, GivesLettersInMountOrderToUserVolumesOnly) {
  const TDriveTable table = DesktopTable();
  struct Expected {
    char letter;
    const char* mountPoint;
    UINT type;
    const char* label;
  };
  const Expected expected[] = {
      {'C', "/", DRIVE_FIXED, "system"},
      {'D', "/media/ann/USB STICK", DRIVE_REMOVABLE, "ANN USB"},
      {'E', "/run/media/ann/HOLIDAY", DRIVE_CDROM, "Holiday 2023"},
      {'F', "/srv/pics", DRIVE_REMOTE, ""},
      {'G', "/home/ann/ram", DRIVE_RAMDISK, ""},
      {'H', "/mnt/share", DRIVE_REMOTE, ""},
  };
  ASSERT_EQ(table.Drives().size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(expected[i].mountPoint);
    const TDriveInfo& drive = table.Drives()[i];
    EXPECT_EQ(drive.Letter, expected[i].letter);
    EXPECT_EQ(drive.MountPoint, expected[i].mountPoint);
    EXPECT_EQ(drive.Type, expected[i].type);
    EXPECT_EQ(drive.Label, expected[i].label);
  }
  EXPECT_EQ(table.LogicalDriveMask(), 0xFCu);  // C: to H:
  EXPECT_TRUE(table.Find('e') != nullptr && table.Find('e')->ReadOnlyMount);
  EXPECT_EQ(table.Find('I'), nullptr);
}

TEST(DriveTableTest, RootIsAlwaysDriveCAndLaterMountsHideEarlierOnes) {
  const TDriveTable empty = TDriveTable::FromMountInfo("", {});
  ASSERT_EQ(empty.Drives().size(), 1u);
  EXPECT_EQ(empty.Drives()[0].MountPoint, "/");
  EXPECT_EQ(empty.LogicalDriveMask(), 0x4u);

  const TDriveTable stacked = TDriveTable::FromMountInfo(
      "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
      "2 1 8:17 / /media/a rw - vfat /dev/sdb1 rw\n"
      "3 1 11:0 / /media/a ro - udf /dev/sr0 ro\n",
      {});
  ASSERT_EQ(stacked.Drives().size(), 2u);
  EXPECT_EQ(stacked.Drives()[1].Type, DRIVE_CDROM);
  EXPECT_EQ(stacked.Drives()[1].Source, "/dev/sr0");
}

TEST(DriveTableTest, VolumeStillMountedKeepsItsLetterWhenAnEarlierOneLeaves) {
  const TDriveTable before = DesktopTable();
  std::string without = DesktopMounts;
  const auto usb = without.find("40 27");
  without.erase(usb, without.find('\n', usb) - usb + 1);
  const TDriveTable after = TDriveTable::FromMountInfo(without, {}, &before);
  EXPECT_EQ(after.Find('D'), nullptr);
  ASSERT_NE(after.Find('E'), nullptr);
  EXPECT_EQ(after.Find('E')->MountPoint, "/run/media/ann/HOLIDAY");
  ASSERT_NE(after.Find('H'), nullptr);
  EXPECT_EQ(after.Find('H')->MountPoint, "/mnt/share");

  const std::string withNewStick = without + "60 27 8:33 / /media/ann/NEW rw - exfat /dev/sdc1 rw\n";
  const TDriveTable later = TDriveTable::FromMountInfo(withNewStick, {}, &after);
  ASSERT_NE(later.Find('D'), nullptr);  // the lowest free letter
  EXPECT_EQ(later.Find('D')->MountPoint, "/media/ann/NEW");
}

TEST(DriveTableTest, NetworkNamesAndLabelsFolder) {
  EXPECT_EQ(TDriveTable::NetworkNameOfSource("//srv/pics"), "\\\\srv\\pics");
  EXPECT_EQ(TDriveTable::NetworkNameOfSource("srv:/pics"), "\\\\srv\\pics");
  EXPECT_EQ(TDriveTable::NetworkNameOfSource("ann@srv:/pics/2023/"), "\\\\srv\\pics\\2023");
  EXPECT_EQ(TDriveTable::NetworkNameOfSource("/dev/sdb1"), "");
  EXPECT_EQ(TDriveTable::NetworkNameOfSource("tmpfs"), "");

  char pattern[] = "/tmp/lumivane-labels-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string folder = pattern;
  std::ofstream(folder + "/sdb1");
  ASSERT_EQ(::symlink("sdb1", (folder + "/MY\\x20PHOTOS").c_str()), 0);
  const auto labels = TDriveTable::ReadDiskLabels(folder);
  char resolved[PATH_MAX];
  ASSERT_NE(::realpath((folder + "/sdb1").c_str(), resolved), nullptr);
  ASSERT_EQ(labels.count(resolved), 1u);
  EXPECT_EQ(labels.at(resolved), "MY PHOTOS");
  std::filesystem::remove_all(folder);
}

class VolumeInfoTest : public TempFolderTest {};

TEST_F(VolumeInfoTest, DriveQueriesAnswerFromTheTable) {
  // D: is a share whose mount point exists; E: a disc whose mount point is gone (no medium).
  MakeFolder("share");
  InstallDriveTable(
      TDriveTable::FromMountInfo("1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                 "2 1 0:50 / " +
                                     Native("share") +
                                     " rw - nfs srv:/pics rw\n"
                                     "3 1 11:0 / " +
                                     Native("gone") + " ro - iso9660 /dev/sr0 ro\n",
                                 {{"/dev/sr0", "DISC"}, {"/dev/sda1", "SYS"}}));

  EXPECT_EQ(GetLogicalDrives(), 0x1Cu);
  EXPECT_EQ(GetDriveTypeA("c:\\"), DRIVE_FIXED);
  EXPECT_EQ(GetDriveTypeA("D:\\"), DRIVE_REMOTE);
  EXPECT_EQ(GetDriveTypeA("e:"), DRIVE_CDROM);
  EXPECT_EQ(GetDriveTypeA("q:\\"), DRIVE_NO_ROOT_DIR);
  EXPECT_EQ(GetDriveTypeA("c:\\home"), DRIVE_NO_ROOT_DIR);

  std::string label = "unchanged";
  DWORD flags = 0;
  ASSERT_TRUE(GetVolumeInformationA("d:\\", &label, &flags));
  EXPECT_EQ(label, "");
  EXPECT_EQ(flags, 0x3u);
  EXPECT_FALSE(GetVolumeInformationA("e:\\", &label, &flags));
  EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
  EXPECT_FALSE(GetVolumeInformationA("r:\\", nullptr, &flags));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

  char small[3];
  EXPECT_FALSE(GetVolumeInformationA("c:\\", small, sizeof small, nullptr, nullptr, &flags, nullptr, 0));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  char name[8];
  DWORD componentLength = 0;
  ASSERT_TRUE(
      GetVolumeInformationA("c:\\", name, sizeof name, nullptr, &componentLength, &flags, nullptr, 0));
  EXPECT_STREQ(name, "SYS");
  EXPECT_EQ(componentLength, 255u);

  std::string remote;
  ASSERT_TRUE(WNetGetConnectionA("D:", remote));
  EXPECT_EQ(remote, "\\\\srv\\pics");
  EXPECT_FALSE(WNetGetConnectionA("C:", remote));
  EXPECT_EQ(GetLastError(), ERROR_NOT_CONNECTED);

  const UINT before = SetErrorMode(SEM_FAILCRITICALERRORS);
  EXPECT_EQ(SetErrorMode(before), SEM_FAILCRITICALERRORS);
}

TEST(ActiveDriveTableTest, SystemTableHasTheRootAsDriveC) {
  UseSystemDriveTable();
  const TDriveInfo* c = ActiveDriveTable().Find('C');
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->MountPoint, "/");
  EXPECT_EQ(c->Type, DRIVE_FIXED);
  EXPECT_NE(GetLogicalDrives() & 0x4u, 0u);
}

}  // namespace
}  // namespace lumivane
