// stemscan-sample: renders a synthetic time-lapse of a seedling plate with its ground truth,
// and optionally a session script that selects every hypocotyl at its true top and sets each
// row's bottom on its true bases.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "main/command_line.h"
#include "tools/sample/evaluation.h"
#include "tools/sample/plate_renderer.h"

namespace {

const char* const kHelp =
    "usage: stemscan-sample [--out=FOLDER] [--name=sample] [--format=png] [--truth=FILE]\n"
    "         [--session=FILE] [--threshold=120] [--rows=1] [--cols=6] [--images=30]\n"
    "         [--width=960] [--height=480] [--length=60] [--growth=2] [--curvature=0.004]\n"
    "         [--thickness=6] [--drift=DX,DY] [--rotation=DEG] [--noise=4] [--seed=3]\n"
    "         [--no-cotyledons] [--base-at=0.85] [--root-width=2] [--root-length=60]\n"
    "         [--dark-root] [--root-hairs] [--slide=0] [--open-cotyledons] [--grid=0]\n"
    "         [--pair-gap=0] [--bright]\n"
    "Writes FOLDER/NAME00.FORMAT ... and a ground-truth CSV (default FOLDER/NAME_truth.csv).";

bool number(const std::string& text, double* value) {
  try {
    std::size_t used = 0;
    *value = std::stod(text, &used);
    return used == text.size();
  } catch (...) {
    return false;
  }
}

}  // namespace

int main(int argc, char** argv) {
  using stemscan::sample::PlateSettings;
  PlateSettings plate;
  std::string folder = ".";
  std::string name = "sample";
  std::string format = "png";
  std::string truth;
  std::string session;
  int threshold = 120;
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k];
    const std::size_t equals = arg.find('=');
    const std::string key = arg.substr(0, equals);
    const std::string value = equals == std::string::npos ? "" : arg.substr(equals + 1);
    double v = 0;
    double v2 = 0;
    const bool numeric = number(value, &v);
    bool ok = true;
    if (key == "--help" || key == "-h") {
      std::cout << kHelp << std::endl;
      return 0;
    }
    if (key == "--version") {
      std::cout << "stemscan-sample " << stemscan::kVersion << std::endl;
      return 0;
    }
    if (key == "--out") {
      folder = value;
    } else if (key == "--name") {
      name = value;
    } else if (key == "--format") {
      format = value;
    } else if (key == "--truth") {
      truth = value;
    } else if (key == "--session") {
      session = value;
    } else if (key == "--drift") {
      const std::size_t comma = value.find(',');
      ok = comma != std::string::npos && number(value.substr(0, comma), &v) &&
           number(value.substr(comma + 1), &v2);
      plate.driftX = static_cast<float>(v);
      plate.driftY = static_cast<float>(v2);
    } else if (arg == "--no-cotyledons") {
      plate.cotyledons = false;
    } else if (arg == "--dark-root") {
      plate.darkRoot = true;
    } else if (arg == "--root-hairs") {
      plate.rootHairs = true;
    } else if (arg == "--open-cotyledons") {
      plate.openCotyledons = true;
    } else if (arg == "--bright") {
      plate.bright = true;
    } else if (!numeric) {
      ok = false;
    } else if (key == "--threshold") {
      threshold = static_cast<int>(v);
    } else if (key == "--rows") {
      plate.rows = static_cast<int>(v);
    } else if (key == "--cols") {
      plate.cols = static_cast<int>(v);
    } else if (key == "--images") {
      plate.images = static_cast<int>(v);
    } else if (key == "--width") {
      plate.width = static_cast<int>(v);
    } else if (key == "--height") {
      plate.height = static_cast<int>(v);
    } else if (key == "--length") {
      plate.startLength = static_cast<float>(v);
    } else if (key == "--growth") {
      plate.growth = static_cast<float>(v);
    } else if (key == "--curvature") {
      plate.curvature = static_cast<float>(v);
    } else if (key == "--thickness") {
      plate.thickness = static_cast<float>(v);
    } else if (key == "--rotation") {
      plate.rotation = static_cast<float>(v);
    } else if (key == "--noise") {
      plate.noise = static_cast<float>(v);
    } else if (key == "--base-at") {
      plate.baseAt = static_cast<float>(v);
    } else if (key == "--root-width") {
      plate.rootWidth = static_cast<float>(v);
    } else if (key == "--root-length") {
      plate.rootLength = static_cast<float>(v);
    } else if (key == "--slide") {
      plate.slide = static_cast<float>(v);
    } else if (key == "--grid") {
      plate.gridSpacing = static_cast<int>(v);
    } else if (key == "--pair-gap") {
      plate.pairGap = static_cast<float>(v);
    } else if (key == "--seed") {
      plate.seed = static_cast<uint32_t>(v);
    } else {
      ok = false;
    }
    if (!ok) {
      std::cerr << "cannot use " << arg << "\n" << kHelp << std::endl;
      return 2;
    }
  }
  if (plate.rows < 1 || plate.cols < 1 || plate.images < 1 || plate.width < 50 ||
      plate.height < 50) {
    std::cerr << "the plate needs at least one seedling, one image and 50 x 50 pixels\n"
              << kHelp << std::endl;
    return 2;
  }
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (truth.empty()) truth = folder + "/" + name + "_truth.csv";
  if (!stemscan::sample::writePlate(plate, folder, name, format, truth)) return 1;

  if (!session.empty()) {
    std::ofstream out(session);
    out << stemscan::sample::selectionSession(plate, threshold, true);
    if (!out.flush()) {
      std::cerr << "cannot write " << session << std::endl;
      return 1;
    }
  }
  return 0;
}
