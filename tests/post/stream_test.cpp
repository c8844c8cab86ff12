// The FieldFile read from a stream that cannot be measured or positioned (a
// pipe): the results must hold exactly the points read, whatever the header
// claims, and a header the data do not back is reported, never trusted.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "post_fixture.h"

namespace ils::test {
namespace {

#if !defined(_WIN32)

// Serves bytes (less than a pipe's buffer) through the FIFO path while
// ILSPost reads it.
class FifoWriter {
public:
    FifoWriter(const std::string& path, std::string bytes)
        : path_(path), thread_([this, bytes = std::move(bytes)] {
              FILE* f = std::fopen(path_.c_str(), "wb");  // waits for a reader
              if (f != nullptr) {
                  std::fwrite(bytes.data(), 1, bytes.size(), f);
                  std::fclose(f);
              }
              done_.store(true);
          }) {}
    ~FifoWriter() {
        // A reader that never came would leave the writer waiting: be one.
        if (!done_.load()) {
            const int fd = open(path_.c_str(), O_RDONLY | O_NONBLOCK);
            thread_.join();
            if (fd >= 0) close(fd);
        } else {
            thread_.join();
        }
    }

private:
    std::string path_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

class PostStreamTest : public PostTest {
protected:
    std::string fifo;
    void SetUp() override {
        PostTest::SetUp();
        fifo = dir + "run.fld";
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    }
    int32_t postFrom(const std::string& bytes) const {
        FifoWriter writer(fifo, bytes);
        return post();
    }
};

std::vector<FieldPoint> courseCsbPoints(int n) {
    std::vector<FieldPoint> points;
    for (int i = 0; i < n; ++i)
        points.push_back(FieldPoint(10.0 * i, 0, 0).course(1.0 + i, 0.25));
    return points;
}

// A CSB course field Trace in relative amplitude: |2·CSB| / max.
const char* const kCsbTrace = "1 3 0 2 0 0 2\n";

TEST_F(PostStreamTest, EveryPointOfAPipeIsReadAndReported) {
    writeParams(header() + kCsbTrace + kCourseLine + kClearanceLine + kInactiveBlock +
                kInactiveBlock + kInactiveBlock);
    const int n = 5;
    ASSERT_EQ(postFrom(fieldFileBytes(courseCsbPoints(n))), 0) << log();
    const auto r = rows();
    ASSERT_EQ(r.size(), static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(r[i].size(), 2u);
        EXPECT_CLOSE(r[i][0], 10.0 * i, 1e-12, 1e-12);
        // The report prints the ratio with four decimals.
        EXPECT_NEAR(r[i][1], (1.0 + i) / n, 6e-5);
    }
}

TEST_F(PostStreamTest, HeaderCountBeyondThePipesDataIsAnError) {
    writeParams(header() + kCsbTrace + kCourseLine + kClearanceLine + kInactiveBlock +
                kInactiveBlock + kInactiveBlock);
    EXPECT_EQ(postFrom(fieldFileBytes(courseCsbPoints(3), 0.5, 0.25, 4)), 4);
    EXPECT_EQ(log(), "ERROR! Reading observation point 4\n");
    EXPECT_FALSE(fileExists(dir + "rep.PTS"));
    // The largest count a header can hold sizes nothing before its data.
    EXPECT_EQ(postFrom(fieldFileBytes(courseCsbPoints(2), 0.5, 0.25, 2147483647)), 4);
    EXPECT_EQ(log(), "ERROR! Reading observation point 3\n");
}

TEST_F(PostStreamTest, PipeLongerThanTheHeaderIsReadToTheCount) {
    writeParams(header() + kCsbTrace + kCourseLine + kClearanceLine + kInactiveBlock +
                kInactiveBlock + kInactiveBlock);
    ASSERT_EQ(postFrom(fieldFileBytes(courseCsbPoints(4), 0.5, 0.25, 2)), 0) << log();
    EXPECT_EQ(rows().size(), 2u);
}

#endif

}  // namespace
}  // namespace ils::test
