#include "jobs/JobTypes.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using jobs::TCopyJob;
using testsupport::TTempDir;

TEST(CopyJob, DestinationPathWithAndWithoutNumberedSubfolder) {
    TTempDir dir;
    TCopyJob job;
    job.SetDestinationFolder(dir.Path() + "/Sites/");
    EXPECT_EQ(job.DestinationFolder, dir.Path() + "/Sites");
    EXPECT_EQ(job.GetDestinationPath(), dir.Path() + "/Sites");
    std::filesystem::create_directories(dir.Path() + "/Sites/00000001");
    std::filesystem::create_directories(dir.Path() + "/Sites/00000002");
    ASSERT_TRUE(job.SelectUniqueDestinationSubfolder());
    EXPECT_EQ(job.UniqueSubfolder, "00000003");
    EXPECT_EQ(job.GetDestinationPath(), dir.Path() + "/Sites/00000003");
    EXPECT_TRUE(std::filesystem::is_directory(job.GetDestinationPath()));
    job.SetDestinationFolder(dir.Path());
    EXPECT_FALSE(job.HasUniqueSubfolder());
}

TEST(CopyJob, PrepareForRunClearsPurposesOfEmptyListsAndFlatteningRules) {
    TCopyJob job;
    job.Reset();
    EXPECT_FALSE(job.PrepareForRun());
    job.TypesPurpose = jobs::lpCopyOnly;
    job.RecreateFolderStructure = false;
    job.FlattenDestinationFolders = true;
    job.DownloadOptions.UpdateOldFiles = true;
    EXPECT_TRUE(job.PrepareForRun());
    EXPECT_EQ(job.TypesPurpose, jobs::lpCopyAll);
    EXPECT_TRUE(job.RecreateFolderStructure);
    EXPECT_FALSE(job.RewriteLinks);
    EXPECT_FALSE(job.DownloadOptions.UpdateOldFiles);
    job.Hosts = "a.test";
    job.HostsPurpose = jobs::lpCopyOnly;
    EXPECT_FALSE(job.PrepareForRun());
    EXPECT_EQ(job.HostsPurpose, jobs::lpCopyOnly);
}
