/* Carries the setup's own resources and a packed payload, linked by the same
   toolchain as the setup: a small real PE image for the lookup's seeds. */
int seed_entry(void) { return 0; }
