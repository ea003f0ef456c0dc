// Writes the recognition fixtures from two page crops of corpus/pdf/multipage.pdf rendered at
// 150 dpi in grey:
//   pdftoppm -r 150 -gray -f 1 -l 1 -x 0 -y 60 -W 1241 -H 420 corpus/pdf/multipage.pdf a
//   pdftoppm -r 150 -gray -f 2 -l 2 -x 0 -y 60 -W 1241 -H 420 corpus/pdf/multipage.pdf b
//   g++ make-fixtures.cpp -I/usr/include/leptonica -llept -o make-fixtures && ./make-fixtures a-1.pgm b-2.pgm
#include <allheaders.h>

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    PIX* first = pixRead(argv[1]);
    PIX* second = pixRead(argv[2]);
    if (!first || !second)
        return 1;
    pixSetResolution(first, 150, 150);
    pixSetResolution(second, 150, 150);
    pixWrite("scan.png", first, IFF_PNG);
    pixWriteJpeg("scan.jpg", first, 60, 0);
    pixWriteTiff("scan.tif", first, IFF_TIFF_ZIP, "w");
    pixWriteTiff("scan.tif", second, IFF_TIFF_ZIP, "a");
    // An image-only PDF: one page holding the first crop as a JPEG image, no text layer.
    pixConvertToPdf(first, L_JPEG_ENCODE, 60, "scan.pdf", 0, 0, 150, "scan", nullptr, L_FIRST_IMAGE | L_LAST_IMAGE);
    pixDestroy(&first);
    pixDestroy(&second);
    return 0;
}
