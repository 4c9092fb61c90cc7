// Writes one hostile shape, for timing any veldora build on it by hand:
//
//   hostile_shape SHAPE SCALE FOLDER      prints the command line, one argument a line
//   hostile_shape --list                  prints the shape names
#include "hostile_shapes.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  if (argc == 2 && strcmp(argv[1], "--list") == 0) {
    for (const std::string& name : shapeNames()) printf("%s\n", name.c_str());
    return 0;
  }
  if (argc != 4) {
    fprintf(stderr, "usage: hostile_shape SHAPE SCALE FOLDER | --list\n");
    return 2;
  }
  ShapeRun run = writeShape(argv[1], atoi(argv[2]), argv[3]);
  if (run.arguments.empty()) {
    fprintf(stderr, "hostile_shape: no shape %s\n", argv[1]);
    return 2;
  }
  for (const std::string& argument : run.arguments) printf("%s\n", argument.c_str());
  return 0;
}
