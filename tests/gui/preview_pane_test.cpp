// The preview pane's fit geometry and what it paints (its loader is driven
// through the window in main_frame_test).
#include "preview/preview_pane.h"

#include <gtest/gtest.h>

#include <QImage>

namespace quill {
namespace {

TEST(PreviewGeometry, FitsWidthOrHeightAndCentres) {
    EXPECT_EQ(fitPreviewRect(1000, 500, 250, 400), QRect(0, 137, 250, 125));
    EXPECT_EQ(fitPreviewRect(500, 1000, 250, 400), QRect(25, 0, 200, 400));
    EXPECT_EQ(fitPreviewRect(100, 100, 250, 400), QRect(0, 75, 250, 250));
    // Equal ratios take the full height.
    EXPECT_EQ(fitPreviewRect(500, 800, 250, 400), QRect(0, 0, 250, 400));
    EXPECT_TRUE(fitPreviewRect(100, 100, 0, 400).isEmpty());
    EXPECT_TRUE(fitPreviewRect(0, 100, 250, 400).isEmpty());
}

QImage solid(int w, int h, QColor c) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(c);
    return image;
}

TEST(PreviewPane, PaintsThePictureInsideTheBackgroundScaledSmoothly) {
    PreviewPane pane;
    pane.resize(250, 400);
    pane.setImage(solid(1000, 500, Qt::red));
    const QImage shot = pane.grab().toImage();
    ASSERT_EQ(shot.size(), QSize(250, 400));
    const QColor bg = PreviewPane::backgroundColor();
    EXPECT_EQ(QColor(shot.pixel(125, 136)), bg);
    EXPECT_EQ(QColor(shot.pixel(125, 137)), QColor(Qt::red));
    EXPECT_EQ(QColor(shot.pixel(0, 200)), QColor(Qt::red));
    EXPECT_EQ(QColor(shot.pixel(249, 261)), QColor(Qt::red));
    EXPECT_EQ(QColor(shot.pixel(125, 262)), bg);
    EXPECT_EQ(pane.pictureRect(), QRect(0, 137, 250, 125));

    pane.clearImage();
    EXPECT_FALSE(pane.hasImage());
    const QImage blank = pane.grab().toImage();
    EXPECT_EQ(QColor(blank.pixel(125, 200)), bg);

    // A small picture is enlarged with smooth scaling.
    QImage image(100, 100, QImage::Format_RGB32);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) image.setPixel(x, y, x < 50 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
    pane.setImage(image);
    const QImage enlarged = pane.grab().toImage();
    EXPECT_EQ(pane.pictureRect(), QRect(0, 75, 250, 250));
    // The edge between black and white is blended, not a hard step.
    bool blended = false;
    for (int x = 115; x < 135; ++x) {
        const int g = qGray(enlarged.pixel(x, 200));
        if (g > 20 && g < 235) blended = true;
    }
    EXPECT_TRUE(blended);
    EXPECT_EQ(qGray(enlarged.pixel(10, 200)), 0);
    EXPECT_EQ(qGray(enlarged.pixel(240, 200)), 255);
}

}  // namespace
}  // namespace quill
