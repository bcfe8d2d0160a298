// --plot FILE: the two plots of the analysis in one image file.
//
// quorvane-cli itself links no graphics library, so that a run without --plot
// needs none on the machine. The plots are drawn by a small companion program,
// quorvane-plot (installed beside quorvane-cli), which is started only for
// --plot: it reads the plot data (the binned posterior and the numbers shown,
// a few kilobytes; see TemplateForm/plot_data.h) on its standard input and
// writes the image, drawing offscreen, so no display is needed.
#pragma once

#include <string>

#include "TemplateForm/plot_data.h"

namespace quorvane::cli {

// True when the plot file's extension names a format quorvane-plot writes
// (.png, .svg, .pdf; any case; no .svg on Windows, where the plot program is
// built without Qt SVG).
bool IsPlotFileName(const std::string& path);

// Those extensions as a message lists them (".png, .svg or .pdf").
const char* PlotFileTypes();

// The companion program: quorvane-plot in the folder of the running program
// when it is there, else the name alone (looked up on PATH).
std::string PlotProgram();

// Runs `program` (see PlotProgram) with the image path and the plot data on its
// standard input. Returns false with a reason when the program cannot be
// started or reports a failure (its own message goes to standard error).
bool WritePlotImage(const std::string& program, const std::string& path, const PlotData& plot,
                    std::string& why);

}  // namespace quorvane::cli
