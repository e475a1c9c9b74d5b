/* Preloaded into a program under test: every new thread is refused as a
   system out of threads would refuse it, so that the program's handling of
   that failure can be tested. */
#include <errno.h>
#include <pthread.h>

int pthread_create(pthread_t* thread, const pthread_attr_t* attributes,
                   void* (*start)(void*), void* argument) {
    (void)thread;
    (void)attributes;
    (void)start;
    (void)argument;
    return EAGAIN;
}
