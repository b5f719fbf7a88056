#include "app/Application.h"

int main(int argc, char** argv) {
  return quillora::RunApplication(argc, argv);
}
