/* Schema for queries
   Equivalent C structure definitions.
   (To use structures with flags i.e presence indicators,
    define the symbol SCHEMA_USE_FLAGS.)
*/
#include "progif.c.h"

/* Structure for query 3
     DISPLAY ENAME,SALARY*2,HIRED FROM STAFF
     WHERE EMPNO=1001 * /
*/
#ifndef ENAME_STRING_LEN
#	define ENAME_STRING_LEN	20
#endif

typedef struct a_query_3_struct {
  TSTRING ename[ENAME_STRING_LEN+1] ;
  TREAL field_2 ;
  TDATE hired ;
} QUERY_3_REC, *QUERY_3_REC_PTR ;

#ifdef SCHEMA_USE_FLAGS
typedef struct a_query_3_fstruct {
  TFLAG f_ename ;
  TSTRING ename[ENAME_STRING_LEN+1] ;
  TFLAG f_field_2 ;
  TREAL field_2 ;
  TFLAG f_hired ;
  TDATE hired ;
} QUERY_3_FREC, *QUERY_3_FREC_PTR ;
#endif

