// The texts the command line prints: the short usage line, the full usage of --help, the
// version, and the options named when one is refused.
#include "main/command_line.h"

namespace stemscan {

const char* const kUsage =
    "usage: ./stemScan <image_file_name> <nb_rows> <nb_cols> <out_file_name> "
    "[imagefile=<outimagefile>] [--trace]";

const char* const kVersion = STEMSCAN_VERSION;

const char* const kFullUsage =
    "usage: stemScan <image_file_name> <nb_rows> <nb_cols> <out_file_name> [options...]\n"
    "       stemScan              (the built-in sample plate)\n"
    "       stemScan --merge <plates.csv> [--control=<label>]\n"
    "       stemScan --help | --version\n"
    "\n"
    "Measures seedling hypocotyls in a time-lapse of plate photographs: <image_file_name> is\n"
    "the first image of a numbered sequence, <nb_rows> x <nb_cols> the grid of seedlings,\n"
    "<out_file_name> the base name of the tables (<out>_len.txt, _or.txt, _seg.txt, _tip.txt,\n"
    "<out>.csv, _contours.csv, _growth.csv, _growth.svg, .pdf, .png, _summary.csv,\n"
    "_run.txt).\n"
    "\n"
    "options (in any order after the four arguments, each at most once but cot):\n"
    "  imagefile=<folder/prefix.ext>  also save one overlay image per analysed image\n"
    "  --trace                        analyse without writing the tables\n"
    "  --growth=<n>                   how far a hypocotyl end may move between two images, in\n"
    "                                 pixels (1 to 100, default 5)\n"
    "  --base                         let the base of each hypocotyl follow the plate motion\n"
    "  --refine                       the refined fit: every contour on its stem's centreline\n"
    "  --detect                       find the seedlings and a threshold on the first image, as\n"
    "                                 proposals to correct in the windows\n"
    "  --auto                         run without windows: --detect, then every proposal and\n"
    "                                 every image accepted\n"
    "  --bright                       seedlings lighter than the background: analyse each\n"
    "                                 image's negative\n"
    "  --even-background              uneven light across the plate or between images: divide\n"
    "                                 each image by the plate's grey around each pixel, so the\n"
    "                                 plate is white (255) and the threshold a share of it\n"
    "  cot=<text>                     print the text\n"
    "  --script=<file>                run headless, replaying a session script\n"
    "  --seed=<n>                     make every random choice reproducible (0 to 4294967295)\n"
    "  --record=<file>                write what you do in the windows to a session script\n"
    "  --interval=<minutes>           the time between two images\n"
    "  --times=<file>                 the time of each image, from a CSV file,time_h\n"
    "  --time-from=names|exif         the time of each image from the date and time in its name,\n"
    "                                 or in its EXIF data\n"
    "  --layout=<file>                what grows in each cell, from a CSV row,col,label\n"
    "  --control=<label>              the summary compares each label with this one\n"
    "  --px-per-mm=<number>           the image scale in pixels per millimetre\n"
    "  --dpi=<number>                 the image scale in dots per inch\n"
    "  --help, --version              this text; the program's version\n"
    "\n"
    "--merge writes experiment.csv, experiment_growth.csv, experiment_summary.csv (per label:\n"
    "n, mean, sd, se and 95 % interval of the growth rate and final length; with\n"
    "--control, each label's difference to the control and Welch's p) and\n"
    "experiment_plates.csv and the figure experiment_growth.svg, .pdf, .png beside the\n"
    "plate list, from the tables its plates wrote.\n"
    "\n"
    "exit status: 0 done, 1 the run failed, 2 a command line or input file it cannot use,\n"
    "128 + N stopped by signal N. The manual is README.md and docs/ beside the sources.";

const char* const kValidOptions =
    "the options are imagefile=<folder/prefix.ext>, --trace, --growth=<n>, --base, --refine, "
    "--detect, --auto, --bright, --even-background, cot=<text>, "
    "--script=<file>, --seed=<n>, --record=<file>, --interval=<minutes>, --times=<file>, "
    "--time-from=names|exif, --layout=<file>, --control=<label>, --px-per-mm=<number>, "
    "--dpi=<number>";

}  // namespace stemscan
