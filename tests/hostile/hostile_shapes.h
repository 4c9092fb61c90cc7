// Input shapes whose cost once grew faster than their size, each with an
// ordinary input of about the same size to measure it against. The hostile
// tests run both; tools/hostile_shape writes them for a timing by hand.
#pragma once

#include <string>
#include <vector>

struct ShapeRun {
  std::vector<std::string> arguments;  // relative to the folder
};

// The shape names, each also with "plain-" in front for its ordinary input.
const std::vector<std::string>& shapeNames();

// Writes the inputs of the shape at the given scale into folder (which
// exists) and returns the command line; an unknown name gives no arguments.
ShapeRun writeShape(const std::string& name, int scale, const std::string& folder);
