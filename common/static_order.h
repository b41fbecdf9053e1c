// The order in which the process's static objects are made at start-up (and,
// reversed, destroyed at exit): the base module record, the AppUserModelID
// string, the class-object module, the framework's COM module record. Objects
// in different files would otherwise be made in an unspecified order. The
// release notifier comes first of all: the module reads it while it is destroyed.
#pragma once

#define QUILL_STATIC_ORDER(position) __attribute__((init_priority(1000 + (position))))

#define QUILL_ORDER_RELEASE_NOTIFIER 0
#define QUILL_ORDER_BASE_MODULE 1
#define QUILL_ORDER_APP_USER_MODEL_ID 2
#define QUILL_ORDER_CLASS_OBJECT_MODULE 3
#define QUILL_ORDER_COM_MODULE_RECORD 4
