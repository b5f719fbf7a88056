// A program with no version resource; the tests add damaged ones to copies of it.
int main(void) {
  return 0;
}
