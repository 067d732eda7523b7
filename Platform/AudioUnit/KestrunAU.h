/*
    The plug-in bundle's host interface.

    A small Audio-Unit-like C interface: the bundle exports exactly two symbols,
    KestrunAUFactory (creates an instance) and KestrunAUEntry (dispatches every
    other call of a host to an instance). Only C types cross this boundary, so a
    host needs nothing from the plug-in's framework.

    Threads: the thread that creates the first instance becomes the plug-in's
    message thread. It must call KAU_Idle regularly from its own loop; without
    that no timer or deferred call of the plug-in runs. Parameter values may be
    read and written, and the state got and set, from any thread; rendering
    happens on the host's audio thread; everything else belongs on the message
    thread. Creating and closing instances, KAU_Idle and the editor are refused
    elsewhere with KAU_ErrWrongThread.

    Handles: a handle that is not a live instance (closed, or never created) is
    refused with KAU_ErrInvalidInstance; it is never used.

    Exit and unloading: instances still open when the host exits, or unloads
    the bundle, are closed then, on the exiting thread, before the bundle's own
    static objects go. No other host thread may be calling in by then; an exit
    from within a call into the bundle (from a listener, say) leaves them open.

    Texts handed in are zero-terminated, well-formed UTF-8 of at most
    KAU_MAX_TEXT_BYTES bytes with the zero; any other is refused with
    KAU_ErrInvalidArgument.

    Listeners are called outside any lock of the plug-in, so a listener may add
    and remove listeners (itself too) and take the host's own locks. A listener
    added during an event first hears the next one; one removed during an event
    is not called again. KAU_RemoveListener returns only once no other thread is
    still inside that listener, so the host may then free what userData points
    to; it must therefore not hold, while it removes a listener, a lock that
    listener takes. From within the listener itself it does not wait.
*/
#ifndef KESTRUN_AU_H
#define KESTRUN_AU_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define KAU_INTERFACE_VERSION 1

/* Limits of the interface; a call beyond them is refused. */
#define KAU_MIN_SAMPLE_RATE 1000.0
#define KAU_MAX_SAMPLE_RATE 1000000.0
#define KAU_MAX_FRAMES_PER_BLOCK 65536
#define KAU_MAX_RENDER_CHANNELS 64
#define KAU_MAX_STATE_BYTES (64 << 20)
#define KAU_MAX_TEXT_BYTES 4096       /* a text handed in, its terminating zero included */
#define KAU_MAX_INSTANCES 4096        /* live at once; the factory returns NULL beyond */

typedef struct KAUInstance KAUInstance;

/* Results. */
enum
{
    KAU_OK              = 0,
    KAU_ErrInvalidInstance = -1,
    KAU_ErrInvalidSelector = -2,
    KAU_ErrInvalidArgument = -3,
    KAU_ErrInvalidParameter = -4,
    KAU_ErrNotPrepared  = -5,
    KAU_ErrTooManyFrames = -6,
    KAU_ErrInvalidProperty = -7,
    KAU_ErrBufferTooSmall = -8,
    KAU_ErrWrongThread  = -9,   /* the call belongs on the message thread */
    KAU_ErrNoDisplay    = -10,  /* a window was asked for, but there is no display to show it on */
    KAU_ErrNoEditor     = -11   /* the call needs an open editor */
};

/* Selectors of KestrunAUEntry. */
enum
{
    KAU_Close = 1,              /* destroys the instance; message thread */
    KAU_Idle,                   /* runs pending messages and due timers; instance may be NULL */
    KAU_GetProperty,            /* KAUPropertyArgs */
    KAU_SetProperty,            /* KAUPropertyArgs */
    KAU_GetParameterInfo,       /* KAUParameterInfoArgs */
    KAU_GetParameter,           /* KAUParameterArgs */
    KAU_SetParameter,           /* KAUParameterArgs */
    KAU_ParameterValueToText,   /* KAUParameterTextArgs: value -> text */
    KAU_ParameterTextToValue,   /* KAUParameterTextArgs: text -> value */
    KAU_AddListener,            /* KAUListenerArgs */
    KAU_RemoveListener,         /* KAUListenerArgs */
    KAU_Prepare,                /* KAUPrepareArgs */
    KAU_Unprepare,              /* no arguments */
    KAU_Reset,                  /* no arguments */
    KAU_Render,                 /* KAURenderArgs */
    KAU_GetState,               /* KAUDataArgs: call with data NULL to learn the size */
    KAU_SetState,               /* KAUDataArgs; KAU_ErrInvalidArgument for bytes that are no state of this plug-in */
    KAU_GetProgramName,         /* KAUProgramArgs */
    KAU_CreateEditor,           /* KAUEditorArgs; message thread */
    KAU_DestroyEditor,          /* no arguments; message thread */
    KAU_GetEditorImage          /* KAUImageArgs: the open editor's picture; message thread */
};

/* Properties (KAU_GetProperty / KAU_SetProperty), all plain integers or text. */
enum
{
    KAU_PropName = 1,           /* text */
    KAU_PropVersion,            /* int: 0x00MMmmbb */
    KAU_PropInputBusCount,      /* int */
    KAU_PropOutputBusCount,     /* int */
    KAU_PropInputChannels,      /* int: channels of input bus `element` */
    KAU_PropOutputChannels,     /* int: channels of output bus `element` */
    KAU_PropInputBusName,       /* text: name of input bus `element` */
    KAU_PropOutputBusName,      /* text: name of output bus `element` */
    KAU_PropTailSamples,        /* int: tail length in samples at the prepared rate */
    KAU_PropLatencySamples,     /* int */
    KAU_PropAcceptsMidi,        /* int 0/1 */
    KAU_PropProducesMidi,       /* int 0/1 */
    KAU_PropHasEditor,          /* int 0/1 */
    KAU_PropParameterCount,     /* int */
    KAU_PropProgramCount,       /* int */
    KAU_PropCurrentProgram,     /* int, settable */
    KAU_PropBypass              /* int 0/1, settable: render through the bypassed path */
};

typedef struct KAUPropertyArgs
{
    int32_t property;
    int32_t element;            /* bus index where a property needs one */
    int32_t intValue;           /* in or out */
    char* text;                 /* out: caller's buffer for text properties */
    int32_t textCapacity;       /* bytes available in text, including the terminating zero */
} KAUPropertyArgs;

/* Parameter flags, as a host understands them. */
enum
{
    KAU_ParamFlagReadable    = 1 << 0,
    KAU_ParamFlagWritable    = 1 << 1,
    KAU_ParamFlagGlobalMeta  = 1 << 2,  /* a change may change other parameters */
    KAU_ParamFlagRampable    = 1 << 3,
    KAU_ParamFlagHasText     = 1 << 4   /* values have texts of their own */
};

enum
{
    KAU_UnitGeneric = 0,
    KAU_UnitIndexed = 1,
    KAU_UnitBoolean = 2
};

typedef struct KAUParameterInfo
{
    char identifier[64];
    char name[64];
    float minValue;             /* values are in host units: minValue .. maxValue */
    float maxValue;
    float defaultValue;
    int32_t numSteps;
    int32_t unit;               /* KAU_Unit... */
    uint32_t flags;             /* KAU_ParamFlag... */
} KAUParameterInfo;

typedef struct KAUParameterInfoArgs
{
    int32_t index;
    KAUParameterInfo info;      /* out */
} KAUParameterInfoArgs;

typedef struct KAUParameterArgs
{
    int32_t index;
    float value;                /* host units; in for set, out for get */
} KAUParameterArgs;

typedef struct KAUParameterTextArgs
{
    int32_t index;
    float value;                /* in for ValueToText, out for TextToValue */
    int32_t maximumLength;      /* ValueToText: longest text wanted, in characters */
    char* text;                 /* ValueToText: out buffer; TextToValue: in, zero-terminated UTF-8 */
    int32_t textCapacity;       /* ValueToText: bytes available in text */
} KAUParameterTextArgs;

/* Notifications to a host listener. */
enum
{
    KAU_EventParameterChanged = 1,  /* index, value (host units) */
    KAU_EventGestureBegin,          /* index */
    KAU_EventGestureEnd,            /* index */
    KAU_EventLatencyChanged,        /* value = latency in samples */
    KAU_EventProgramChanged         /* the program list, a name or the current program changed */
};

typedef void (*KAUListenerProc) (void* userData, int32_t event, int32_t index, float value);

typedef struct KAUListenerArgs
{
    KAUListenerProc proc;
    void* userData;
} KAUListenerArgs;

typedef struct KAUPrepareArgs
{
    double sampleRate;
    int32_t maximumFramesPerBlock;
} KAUPrepareArgs;

typedef struct KAURenderArgs
{
    float** channels;           /* numChannels pointers to numFrames samples; processed in place */
    int32_t numChannels;
    int32_t numFrames;
} KAURenderArgs;

typedef struct KAUDataArgs
{
    void* data;                 /* Get: out buffer or NULL; Set: in */
    int32_t size;               /* Get: in capacity, out size needed; Set: in size */
} KAUDataArgs;

typedef struct KAUProgramArgs
{
    int32_t index;
    char* text;                 /* out */
    int32_t textCapacity;
} KAUProgramArgs;

typedef struct KAUEditorArgs
{
    int32_t showOnDesktop;      /* in: 1 puts the editor in a window of its own (KAU_ErrNoDisplay where DISPLAY names
                                   no display, where the display makes no window, and once its server has gone;
                                   the instance goes on without an editor) */
    int32_t width;              /* out */
    int32_t height;             /* out */
} KAUEditorArgs;

/* The open editor as its window shows it, drawn now: width x height pixels,
   rows top to bottom, each 0xAARRGGBB with straight alpha. Call with pixels
   NULL to learn the size; a buffer of fewer than width x height pixels is
   refused with KAU_ErrBufferTooSmall. */
typedef struct KAUImageArgs
{
    uint32_t* pixels;           /* out: the caller's buffer, or NULL */
    int32_t capacity;           /* in: pixels the buffer holds */
    int32_t width;              /* out */
    int32_t height;             /* out */
} KAUImageArgs;

typedef struct KAUFactoryArgs
{
    int32_t interfaceVersion;   /* KAU_INTERFACE_VERSION */
} KAUFactoryArgs;

/* Texts handed out are cut to fit the caller's buffer and always zero-terminated. */

/* Creates an instance; NULL when the interface version is not supported. */
typedef KAUInstance* (*KestrunAUFactoryProc) (const KAUFactoryArgs*);

/* Dispatches one call to an instance; returns KAU_OK or a KAU_Err... code. */
typedef int32_t (*KestrunAUEntryProc) (KAUInstance* instance, int32_t selector, void* args);

/* The bundle's two exported symbols; a host resolves them by name. */
KAUInstance* KestrunAUFactory (const KAUFactoryArgs* args);
int32_t KestrunAUEntry (KAUInstance* instance, int32_t selector, void* args);

#ifdef __cplusplus
}
#endif

#endif
