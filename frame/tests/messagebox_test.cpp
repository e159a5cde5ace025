// The quit confirmation as a real message box, answered through X by xdotool.
#include "Support.h"
#include "frame/QuitConfirmation.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

using namespace KoFrame;

namespace {

// Answers the box from the background once it is up (answer_box.sh); returns when the
// script knows which windows were there before.
void answerLater(const std::string& key, const std::string& dir) {
    const std::string command = std::string("'") + FRAME_ANSWER_BOX + "' " + key + " '" + dir +
                                "/ready' '" + dir + "/status' &";
    ASSERT_EQ(std::system(command.c_str()), 0);
    for (int i = 0; i < 500 && access((dir + "/ready").c_str(), F_OK) != 0; ++i) SDL_Delay(10);
}

int readStatus(const std::string& path) {
    for (int i = 0; i < 200; ++i) {
        if (FILE* f = std::fopen(path.c_str(), "r")) {
            int v = -1;
            const int n = std::fscanf(f, "%d", &v);
            std::fclose(f);
            if (n == 1) return v;
        }
        SDL_Delay(10);
    }
    return -1;
}

class MessageBox : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("KOFRAME_TEST_QUIT_ANSWER");
        char tmpl[] = "/tmp/koframe-box.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }
    std::string dir;
};

} // namespace

TEST_F(MessageBox, EscapeAnswersNoAndKeepsTheWindow) {
    auto w = createWindow(u"box", 320, 200);
    ASSERT_TRUE(w);
    w->addCloseHandler(confirmQuit);
    answerLater("Escape", dir);
    w->close(); // blocks in the box until xdotool answers
    EXPECT_EQ(readStatus(dir + "/status"), 0) << "the box never came up";
    EXPECT_FALSE(w->isDestroyed());
}

TEST_F(MessageBox, ReturnTakesTheDefaultYesAndDestroysTheWindow) {
    auto w = createWindow(u"box", 320, 200);
    ASSERT_TRUE(w);
    w->addCloseHandler(confirmQuit);
    answerLater("Return", dir);
    w->close();
    EXPECT_EQ(readStatus(dir + "/status"), 0) << "the box never came up";
    EXPECT_TRUE(w->isDestroyed());
}
