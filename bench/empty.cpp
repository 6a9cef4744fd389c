// Does nothing. Linked twice: alone, and with the libraries qorid loads, to
// show what loading those libraries costs by itself.
int main() { return 0; }
