/* Database DEMO
   Equivalent C structure definitions.
   (To use structures with flags i.e presence indicators,
    define the symbol SCHEMA_USE_FLAGS.)
*/
#ifndef DEMO_SCHEMA_INCLUDED
#define DEMO_SCHEMA_INCLUDED 1

#include "progif.c.h"

/* Definition without flags
*/

/* Structure for table BADGES
*/
typedef struct a_badges_struct {
  TLONG empno ;
  TBLOB photo ;	/* Allows NULL */
} BADGES_REC, *BADGES_REC_PTR ;

/* Structure for table DEPT
*/
#ifndef DNAME_STRING_LEN
#	define DNAME_STRING_LEN	16
#endif
#ifndef CITY_STRING_LEN
#	define CITY_STRING_LEN	16
#endif

typedef struct a_dept_struct {
  TSHORT deptno ;
  TSTRING dname[DNAME_STRING_LEN+1] ;
  TSTRING city[CITY_STRING_LEN+1] ;
  TREAL budget ;	/* Allows NULL */
} DEPT_REC, *DEPT_REC_PTR ;

/* Structure for table NUMS
*/
typedef struct a_nums_struct {
  TLONG n ;
} NUMS_REC, *NUMS_REC_PTR ;

/* Structure for table SALES
*/
typedef struct a_sales_struct {
  TDATE sdate ;
  TSHORT deptno ;
  TSHORT weekday ;
  TLONG units ;
  TREAL revenue ;
} SALES_REC, *SALES_REC_PTR ;

/* Structure for table SENSOR
*/
typedef struct a_sensor_struct {
  TSHORT gx ;
  TSHORT gy ;
  TREAL temp ;
  TREAL humid ;	/* Allows NULL */
  TTIME taken ;
} SENSOR_REC, *SENSOR_REC_PTR ;

/* Structure for table SPECTRA
*/
#ifndef SAMPLES_ARRAY_SIZE
#	define SAMPLES_ARRAY_SIZE	32
#endif
#ifndef COUNTS_ARRAY_SIZE
#	define COUNTS_ARRAY_SIZE	20
#endif

typedef struct a_spectra_struct {
  TLONG specno ;
  TTIME taken ;
  TREAL samples[SAMPLES_ARRAY_SIZE] ;
  TLONG l_counts ;	/* Actual length of counts */
  TLONG counts[COUNTS_ARRAY_SIZE] ;	/* Allows NULL */
  TCOMPLEX shift ;	/* Allows NULL */
} SPECTRA_REC, *SPECTRA_REC_PTR ;

/* Structure for table STAFF
*/
#ifndef ENAME_STRING_LEN
#	define ENAME_STRING_LEN	20
#endif
#ifndef JOB_STRING_LEN
#	define JOB_STRING_LEN	12
#endif

typedef struct a_staff_struct {
  TLONG empno ;
  TSTRING ename[ENAME_STRING_LEN+1] ;
  TSHORT deptno ;
  TSTRING job[JOB_STRING_LEN+1] ;
  TREAL salary ;	/* Allows NULL */
  TDATE hired ;
  TSHORT age ;
  TCHAR grade ;
  TBOOL fulltime ;
} STAFF_REC, *STAFF_REC_PTR ;

/* Structure for table WAFERS
*/
typedef struct a_wafers_struct {
  TSHORT wafer ;
  TSHORT diex ;
  TSHORT diey ;
  TREAL thick ;
  TREAL leak ;
  TBYTE bin ;
  TBOOL pass ;
} WAFERS_REC, *WAFERS_REC_PTR ;

/* Definition with flags
*/
#ifdef SCHEMA_USE_FLAGS

/* Structure for table BADGES
*/
typedef struct a_badges_fstruct {
  TFLAG f_empno ;
  TLONG empno ;
  TFLAG f_photo ;
  TBLOB photo ;	/* Allows NULL */
} BADGES_FREC, *BADGES_FREC_PTR ;

/* Structure for table DEPT
*/
typedef struct a_dept_fstruct {
  TFLAG f_deptno ;
  TSHORT deptno ;
  TFLAG f_dname ;
  TSTRING dname[DNAME_STRING_LEN+1] ;
  TFLAG f_city ;
  TSTRING city[CITY_STRING_LEN+1] ;
  TFLAG f_budget ;
  TREAL budget ;	/* Allows NULL */
} DEPT_FREC, *DEPT_FREC_PTR ;

/* Structure for table NUMS
*/
typedef struct a_nums_fstruct {
  TFLAG f_n ;
  TLONG n ;
} NUMS_FREC, *NUMS_FREC_PTR ;

/* Structure for table SALES
*/
typedef struct a_sales_fstruct {
  TFLAG f_sdate ;
  TDATE sdate ;
  TFLAG f_deptno ;
  TSHORT deptno ;
  TFLAG f_weekday ;
  TSHORT weekday ;
  TFLAG f_units ;
  TLONG units ;
  TFLAG f_revenue ;
  TREAL revenue ;
} SALES_FREC, *SALES_FREC_PTR ;

/* Structure for table SENSOR
*/
typedef struct a_sensor_fstruct {
  TFLAG f_gx ;
  TSHORT gx ;
  TFLAG f_gy ;
  TSHORT gy ;
  TFLAG f_temp ;
  TREAL temp ;
  TFLAG f_humid ;
  TREAL humid ;	/* Allows NULL */
  TFLAG f_taken ;
  TTIME taken ;
} SENSOR_FREC, *SENSOR_FREC_PTR ;

/* Structure for table SPECTRA
*/
typedef struct a_spectra_fstruct {
  TFLAG f_specno ;
  TLONG specno ;
  TFLAG f_taken ;
  TTIME taken ;
  TFLAG f_samples ;
  TREAL samples[SAMPLES_ARRAY_SIZE] ;
  TFLAG f_counts ;
  TLONG l_counts ;	/* Actual length of counts */
  TLONG counts[COUNTS_ARRAY_SIZE] ;	/* Allows NULL */
  TFLAG f_shift ;
  TCOMPLEX shift ;	/* Allows NULL */
} SPECTRA_FREC, *SPECTRA_FREC_PTR ;

/* Structure for table STAFF
*/
typedef struct a_staff_fstruct {
  TFLAG f_empno ;
  TLONG empno ;
  TFLAG f_ename ;
  TSTRING ename[ENAME_STRING_LEN+1] ;
  TFLAG f_deptno ;
  TSHORT deptno ;
  TFLAG f_job ;
  TSTRING job[JOB_STRING_LEN+1] ;
  TFLAG f_salary ;
  TREAL salary ;	/* Allows NULL */
  TFLAG f_hired ;
  TDATE hired ;
  TFLAG f_age ;
  TSHORT age ;
  TFLAG f_grade ;
  TCHAR grade ;
  TFLAG f_fulltime ;
  TBOOL fulltime ;
} STAFF_FREC, *STAFF_FREC_PTR ;

/* Structure for table WAFERS
*/
typedef struct a_wafers_fstruct {
  TFLAG f_wafer ;
  TSHORT wafer ;
  TFLAG f_diex ;
  TSHORT diex ;
  TFLAG f_diey ;
  TSHORT diey ;
  TFLAG f_thick ;
  TREAL thick ;
  TFLAG f_leak ;
  TREAL leak ;
  TFLAG f_bin ;
  TBYTE bin ;
  TFLAG f_pass ;
  TBOOL pass ;
} WAFERS_FREC, *WAFERS_FREC_PTR ;

#endif
#endif
