/* The program that the cross build makes and packs. */
int main(void) { return 0; }
